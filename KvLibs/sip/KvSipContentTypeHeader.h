// The Content-Type header: the media type of the message body, with its parameters.
#pragma once

#include "KvConstString.h"
#include "KvParameters.h"
#include "KvSipHeaderClass.h"
#include "KvStreamTokenizer.h"

#include <mutex>

// The characters that end a token in a header value: the RFC 3261 separators plus CR and LF.
inline constexpr char kvSipTokenSeparators[] = " \t\r\n\\\"()<>@,;:/[]?={}";
inline constexpr KvCharClass kvSipTokenSeparatorClass{kvSipTokenSeparators};

// Passes over a parameter value, quoted strings included, up to the next ";", "," or line end,
// which is left unread.
void kvSipSkipParameterValue(KvInputStream& stream);

class KvSipContentTypeHeader : public KvSipHeaderClass<KvSipContentTypeHeader> {
public:
    static constexpr KvSipHeaderNames NAMES{"Content-Type", "c", KV_HEADER_CONTENT_TYPE};

    KvSipContentTypeHeader();
    // "type/subtype"; a text without "/" gets the subtype "*", a null text "*/*". Refuses as
    // setMediaType.
    explicit KvSipContentTypeHeader(const char* mediaType);
    KvSipContentTypeHeader(const KvSipContentTypeHeader& other);

    void doParse(KvInputStream& stream) override;
    void serialize(KvOutputStream& stream) const override;

    // Throws KvSipParseError, changing nothing, for a text that would not be read back as one
    // media type: an empty type or subtype, or anything after the one type and its parameters.
    void setMediaType(const char* mediaType);
    // Replaces the whole value: type, subtype and only the parameters that the text carries, read
    // as a received value is; a text without "/" gets the subtype "*". Refuses as setMediaType.
    void setValue(const char* contentType);
    // Type and subtype as one "type/subtype" text.
    KvString getMediaType() const;
    const char* getType() const { return m_type.c_str(); }
    const char* getSubtype() const { return m_subtype.c_str(); }
    // Made when first asked for or read: most media types come without parameters.
    const KvHandle<KvParameters>& getParameters() const;

    // Shared with Accept. Splits a "type/subtype" text as setMediaType does.
    static void sSplitMediaType(const char* mediaType, KvString& type, KvString& subtype);
    // Reads type "/" subtype and, behind a ";", the parameters up to the next comma. Returns false
    // when the type, the "/" or the subtype is missing.
    static bool sParseMediaRange(KvInputStream& stream, KvString& type, KvString& subtype,
                                 KvParameters& parameters);
    // Shared with Accept: throws KvSipParseError "Attempting to set <class> with an invalid media
    // type" for a text that, split and written, would not be read back as one media type, or with
    // list, as a comma-separated list of them.
    static void sRefuseInvalidMediaType(const char* mediaType, const KvObject& header,
                                        bool list = false);

private:
    // Reads the text, or the text with "/*" when it has no "/", as one received value; false when
    // it is not one media type with its parameters (with list, a list of them) and nothing
    // behind. The type, subtype and parameters are the first one's.
    static bool readMediaType(const char* text, KvString& type, KvString& subtype,
                              KvParameters& parameters, bool list = false);
    [[noreturn]] static void sRaiseInvalidMediaType(const KvObject& header);

    KvConstString m_type;
    KvConstString m_subtype;
    mutable KvHandle<KvParameters> m_parameters;
    mutable std::once_flag m_parametersMade;
};

inline const KvSipHeaderClassRegistrar<KvSipContentTypeHeader> kvSipContentTypeHeaderRegistrar;
