// What the address headers (From, To, Contact, Route, Record-Route) share: a name-address and,
// for From, To and Contact, the header parameters behind it.
#pragma once

#include "KvParameters.h"
#include "KvSipHeader.h"
#include "KvSipNameAddress.h"

class KvSipAddressHeader : public KvSipHeader {
public:
    ~KvSipAddressHeader() override;

    // The held objects themselves, not copies.
    KvHandle<KvSipNameAddress> getNameAddress() const { return m_nameAddress; }
    KvHandle<KvParameters> getParameters() const;
    KvString getURIString() const;

    // The name-address, then ";" and the parameters when there are any.
    void serialize(KvOutputStream& stream) const override;

protected:
    // Keeps clones of the given objects; null handles stay null.
    KvSipAddressHeader(const KvString& token, const KvHandle<KvSipNameAddress>& nameAddress,
                       const KvHandle<KvParameters>& parameters);
    KvSipAddressHeader(const KvSipAddressHeader& other);

    // Gives a null name-address a new empty one; gives the header a parameter list, made on
    // first use.
    void ensureNameAddress();
    void ensureParameters() { m_listed = true; }
    // The parameter list when made and holding any, else null.
    KvParameters* filledParameters() const;
    // Writes ";" and the parameters when there are any.
    void writeParameters(KvOutputStream& stream) const;
    // The name-address, then the header parameters behind it, up to a comma or the line end.
    void parseAddressAndParameters(KvInputStream& stream);
    // Route and Record-Route: the name-address read as operator>> reads it; any failure to read
    // it is raised as a parse error with the given text.
    void parseNameAddress(KvInputStream& stream, const char* failureText);
    // From and To: refuses an address without URI, and strips from a sip URL with parameters the
    // transport, maddr and ttl parameters and the URL headers.
    void checkAddress(const char* failureText);
    KvString getTagParameter() const;
    void setTagParameter(const char* tag);

    KvHandle<KvSipNameAddress> m_nameAddress;

private:
    // Most parsed address headers have no parameters: the list is made when first asked for, by a
    // const getter too, so every access goes through KvSipURL's shared-list helpers.
    KvHandle<KvParameters> m_parameters;
    // Whether the header has a parameter list, made or not; Route and Record-Route have none.
    bool m_listed = false;
};

// From and To: an address that must have a URI, with header parameters (the "tag" among them).
class KvSipTaggedAddressHeader : public KvSipAddressHeader {
public:
    // The address and its parameters, then the address check.
    void doParse(KvInputStream& stream) override;

    // The "tag" parameter, empty when absent.
    KvString getTag() const { return getTagParameter(); }
    // A non-empty tag replaces the old one and puts the URI between "<" and ">".
    void setTag(const char* tag) { setTagParameter(tag); }

protected:
    // An empty name-address and parameter list; invalidText is raised when a check fails.
    KvSipTaggedAddressHeader(const KvString& token, const char* invalidText);
    // Keeps clones, a null handle giving a new empty object, then checks the address.
    KvSipTaggedAddressHeader(const KvString& token, const char* invalidText,
                             const KvHandle<KvSipNameAddress>& nameAddress,
                             const KvHandle<KvParameters>& parameters);
    // Checks the copied address, as the value constructor does.
    KvSipTaggedAddressHeader(const KvSipTaggedAddressHeader& other);

private:
    const char* m_invalidText;
};
