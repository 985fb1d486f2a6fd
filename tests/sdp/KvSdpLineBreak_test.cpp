// Every way a caller's text gets into an SDP line must refuse a line break: written out, it would
// end that line and start one of the caller's choosing. (A C text cannot carry a NUL.)
#include "KvMediaSession.h"
#include "KvSdp.h"
#include "KvSdpTestSupport.h"

#include <functional>
#include <string>
#include <vector>

namespace {

// The class and text of what the action threw.
std::string refusal(const std::function<void()>& action) {
    try {
        action();
    } catch (KvHandle<KvException>& e) {
        return std::string(e->getClassName()) + ": " + e->getText();
    }
    return "(nothing thrown)";
}

struct Entry {
    std::string name;
    std::string message;
    // Hands the text in, records the refusal and returns what is written afterwards.
    std::function<std::string(const char* text, std::string& refused)> run;
};

// A field read from a valid value, then given the text through a setter.
template <class F>
Entry setter(const std::string& name, void (F::*set)(const char*), const char* valid) {
    return {name, "Attempting to set " + name.substr(0, name.find(':')) + " with a line break",
            [set, valid](const char* text, std::string& refused) {
                F field(valid);
                refused = refusal([&] { (field.*set)(text); });
                return kvSerialized(field);
            }};
}

// The same for the value of an attribute line.
template <class A>
Entry valueSetter(const std::string& name, void (A::*set)(const char*), const char* attribute,
                  const char* valid) {
    return {name, "Attempting to set " + name.substr(0, name.find(':')) + " with a line break",
            [set, attribute, valid](const char* text, std::string& refused) {
                KvHandle<A> value(new A(valid));
                KvSdpAttributeField field(attribute, KvHandle<KvSdpAttribute>(value));
                refused = refusal([&] { (value.get()->*set)(text); });
                return kvSerialized(field);
            }};
}

// A field made with the text.
Entry made(const char* name, const char* message,
           std::function<KvHandle<KvSdpField>(const char* text)> make) {
    return {name, message, [make](const char* text, std::string& refused) {
                std::string written;
                refused = refusal([&] { written = kvSerialized(make(text)); });
                return written;
            }};
}

// A session of one audio stream, given the text, then written.
Entry session(const char* name, const char* message,
              std::function<void(KvMediaSession&, KvMediaStream&, const char*)> give) {
    return {name, message, [give](const char* text, std::string& refused) {
                KvHandle<KvMediaStream> audio(
                    new KvMediaStream(KvMediaAudio, 5004, KvInetAddress()));
                audio->addFormat(KvMediaFormat(0, "PCMU"));
                KvMediaSession s(audio);
                s.setOriginAddress("192.0.2.1");
                s.setConnectionAddress("192.0.2.1");
                refused = refusal([&] { give(s, *audio, text); });
                return std::string(s.getSdp());
            }};
}

TEST(KvSdpLineBreak, EveryCallerTextIsRefused) {
    using F = KvHandle<KvSdpField>;
    const std::vector<Entry> entries = {
        session("KvMediaSession::setOriginAddress",
                "Attempting to set KvMediaSession with a line break",
                [](KvMediaSession& s, KvMediaStream&, const char* t) { s.setOriginAddress(t); }),
        session(
            "KvMediaSession::setConnectionAddress",
            "Attempting to set KvMediaSession with a line break",
            [](KvMediaSession& s, KvMediaStream&, const char* t) { s.setConnectionAddress(t); }),
        session("KvMediaSession::setUserName",
                "Attempting to set a user name with a blank or a line break",
                [](KvMediaSession& s, KvMediaStream&, const char* t) { s.setUserName(t); }),
        session("KvMediaFormat", "Attempting to create KvMediaFormat with a line break",
                [](KvMediaSession&, KvMediaStream& a, const char* t) {
                    a.addFormat(KvMediaFormat(8, t));
                }),
        made("KvSdpAttributeField(name, text)",
             "Attempting to create KvSdpAttributeField with a line break",
             [](const char* t) { return F(new KvSdpAttributeField(t, "1")); }),
        made("KvSdpAttributeField(name, value text)",
             "Attempting to create KvSdpAttributeField with a line break",
             [](const char* t) { return F(new KvSdpAttributeField("fmtp", t)); }),
        made("KvSdpAttributeField(name, value)",
             "Attempting to create KvSdpAttributeField with a line break",
             [](const char* t) {
                 return F(new KvSdpAttributeField(t, KvHandle<KvSdpAttribute>()));
             }),
        made("KvSdpAttribute", "Attempting to create KvSdpAttribute with a line break",
             [](const char* t) {
                 return F(new KvSdpAttributeField("fmtp",
                                                  KvHandle<KvSdpAttribute>(new KvSdpAttribute(t))));
             }),
        made("KvSdpConnectionField(network type)",
             "Attempting to create KvSdpConnectionField with a line break",
             [](const char* t) { return F(new KvSdpConnectionField(t, "IP4", "192.0.2.1")); }),
        made("KvSdpConnectionField(address type)",
             "Attempting to create KvSdpConnectionField with a line break",
             [](const char* t) { return F(new KvSdpConnectionField("IN", t, "192.0.2.1")); }),
        made("KvSdpConnectionField(address)",
             "Attempting to create KvSdpConnectionField with a line break",
             [](const char* t) { return F(new KvSdpConnectionField("IN", "IP4", t)); }),
        made("KvSdpEmailField(address)", "Attempting to create KvSdpEmailField with a line break",
             [](const char* t) { return F(new KvSdpEmailField(t, "Jane")); }),
        made("KvSdpPhoneField(display name)",
             "Attempting to create KvSdpPhoneField with a line break",
             [](const char* t) { return F(new KvSdpPhoneField("+1 555", t)); }),
        made("KvSdpTimeField(start)", "Attempting to create KvSdpTimeField with a line break",
             [](const char* t) { return F(new KvSdpTimeField(t, "0")); }),
        made("KvSdpTimeField(stop)", "Attempting to create KvSdpTimeField with a line break",
             [](const char* t) { return F(new KvSdpTimeField("0", t)); }),
        made("KvSdpBandwidthField", "Attempting to create KvSdpBandwidthField with a line break",
             [](const char* t) { return F(new KvSdpBandwidthField(t, 64)); }),
        made("KvSdpUnusedField", "Attempting to create KvSdpUnusedField with a line break",
             [](const char* t) { return F(new KvSdpUnusedField(t)); }),
        valueSetter("KvSdpAttribute::setText", &KvSdpAttribute::setText, "fmtp", "101 0-15"),
        valueSetter("KvSdpRtpAttribute::setEncodingName", &KvSdpRtpAttribute::setEncodingName,
                    "rtpmap", "0 PCMU/8000"),
        valueSetter("KvSdpRtpAttribute::setEncodingParametersText",
                    &KvSdpRtpAttribute::setEncodingParametersText, "rtpmap", "97 X/8000"),
        setter("KvSdpAttributeField::setName", &KvSdpAttributeField::setName, "sendrecv"),
        setter<KvSdpInformationField>("KvSdpInformationField::setValue",
                                      &KvSdpInformationField::setValue, "info"),
        setter<KvSdpSessionNameField>("KvSdpSessionNameField::setValue",
                                      &KvSdpSessionNameField::setValue, "name"),
        setter("KvSdpUriField::setUri", &KvSdpUriField::setUri, "http://example.com/"),
        setter("KvSdpConnectionField::setNetworkType", &KvSdpConnectionField::setNetworkType,
               "IN IP4 192.0.2.1"),
        setter("KvSdpConnectionField::setAddressType", &KvSdpConnectionField::setAddressType,
               "IN IP4 192.0.2.1"),
        setter("KvSdpConnectionField::setAddress", &KvSdpConnectionField::setAddress,
               "IN IP4 192.0.2.1"),
        setter<KvSdpEmailField>("KvSdpEmailField::setAddress", &KvSdpEmailField::setAddress,
                                "j@example.com (Jane)"),
        setter<KvSdpEmailField>("KvSdpEmailField::setDisplayName", &KvSdpEmailField::setDisplayName,
                                "j@example.com (Jane)"),
        setter<KvSdpPhoneField>("KvSdpPhoneField::setAddress", &KvSdpPhoneField::setAddress,
                                "+1 555"),
        setter("KvSdpTimeField::setStart", &KvSdpTimeField::setStart, "0 0"),
        setter("KvSdpTimeField::setStop", &KvSdpTimeField::setStop, "0 0"),
        setter("KvSdpKeyField::setMethod", &KvSdpKeyField::setMethod, "prompt"),
        setter("KvSdpKeyField::setKey", &KvSdpKeyField::setKey, "clear:abc"),
        setter("KvSdpOriginField::setUserName", &KvSdpOriginField::setUserName,
               "- 1 1 IN IP4 192.0.2.1"),
        setter("KvSdpOriginField::setSessionId", &KvSdpOriginField::setSessionId,
               "- 1 1 IN IP4 192.0.2.1"),
        setter("KvSdpOriginField::setVersion", &KvSdpOriginField::setVersion,
               "- 1 1 IN IP4 192.0.2.1"),
        setter("KvSdpOriginField::setNetworkType", &KvSdpOriginField::setNetworkType,
               "- 1 1 IN IP4 192.0.2.1"),
        setter("KvSdpOriginField::setAddressType", &KvSdpOriginField::setAddressType,
               "- 1 1 IN IP4 192.0.2.1"),
        setter("KvSdpOriginField::setAddress", &KvSdpOriginField::setAddress,
               "- 1 1 IN IP4 192.0.2.1"),
        setter("KvSdpBandwidthField::setModifier", &KvSdpBandwidthField::setModifier, "AS:64"),
        setter("KvSdpMediaField::setMedia", &KvSdpMediaField::setMedia, "audio 5004 RTP/AVP 0"),
        setter("KvSdpMediaField::setTransport", &KvSdpMediaField::setTransport,
               "audio 5004 RTP/AVP 0"),
        setter("KvSdpMediaField::setFormats", &KvSdpMediaField::setFormats, "audio 5004 RTP/AVP 0"),
        setter("KvSdpRepeatField::setInterval", &KvSdpRepeatField::setInterval, "7d 1h 0"),
        setter("KvSdpRepeatField::setDuration", &KvSdpRepeatField::setDuration, "7d 1h 0"),
        setter("KvSdpRepeatField::setOffsets", &KvSdpRepeatField::setOffsets, "7d 1h 0"),
        setter("KvSdpProtocolVersionField::setVersion", &KvSdpProtocolVersionField::setVersion,
               "0"),
        setter("KvSdpUnusedField::setValue", &KvSdpUnusedField::setValue, "y"),
    };
    for (const Entry& entry : entries) {
        for (const char* text :
             {"v\r\nm=video 1 RTP/AVP 31", "v\nm=video 1 RTP/AVP 31", "v\rm=video 1 RTP/AVP 31"}) {
            std::string refused;
            const std::string written = entry.run(text, refused);
            EXPECT_EQ(refused, "KvSdpParseError: " + entry.message) << entry.name;
            EXPECT_EQ(written.find("m=video"), std::string::npos) << entry.name << ": " << written;
        }
    }
}

} // namespace
