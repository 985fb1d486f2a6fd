// Every address in a SIP message. A sip or tel URL has a class of its own; any other scheme is
// kept here as its scheme and the unparsed rest.
#pragma once

#include "KvObject.h"
#include "KvStringBuffer.h"

class KvInputCursor;
class KvInputStream;

class KvURI : public KvObject {
public:
    explicit KvURI(const char* scheme = nullptr);
    KvURI(const KvURI& other);
    KvURI& operator=(const KvURI&) = delete;
    ~KvURI() override;

    KvObject* clone() const override;

    virtual bool hasParameters() const { return false; }
    virtual bool hasHeaders() const { return false; }
    virtual KvString serialize() const;
    virtual void parse(KvInputStream& stream);

    // Builds the sip, tel or generic URI that the text at the stream's position starts, and parses
    // it. ownParameters: whether ";" parameters behind a bare sip or tel URL belong to the URL
    // (request line) or end it (header value).
    static KvHandle<KvURI> createURI(KvInputStream& stream, bool ownParameters);
    // The same for a parser reading stream through cursor: a sip URL is read through the same
    // cursor; any other URI is read from the stream, which leaves the cursor spent.
    static KvHandle<KvURI> createURI(KvInputCursor& cursor, KvInputStream& stream,
                                     bool ownParameters);
    static void registerScheme(const char* scheme, KvURI* (*creator)());

    bool isSipURL() const { return m_isSipURL; }
    bool ownsParameters() const { return m_ownParameters; }
    void setOwnParameters(bool ownParameters) { m_ownParameters = ownParameters; }
    KvString getScheme() const { return m_scheme; }
    KvString getBody() const { return m_body; }
    void setScheme(const char* scheme);
    void setBody(const char* body);

protected:
    // A URI of a class that knows its scheme text.
    KvURI(const KvString& scheme, bool isSipURL);

    // The scheme as a string; "sip" and "tel" exactly as written share one buffer each.
    static KvString sSchemeText(const char* text, uint32_t length);
    // That shared "sip", for every sip URL made.
    static const KvString& sSipScheme();

    bool m_isSipURL;
    bool m_ownParameters;
    KvString m_body;
    KvString m_scheme;
};
