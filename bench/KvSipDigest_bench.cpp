// Cost of the Digest response: what a client pays per authenticated request and a server per check.
#include "KvMD5.h"
#include "KvOutputSink.h"
#include "KvSipDigestChallengeInfo.h"
#include "KvSipDigestCredentialsInfo.h"
#include "KvSipURL.h"

#include <benchmark/benchmark.h>

#include <string>

#ifdef KV_HAVE_OPENSSL
#include <openssl/evp.h>
#endif

namespace {

const char kRfcCredentials[] =
    "username=\"Mufasa\", realm=\"testrealm@host.com\", "
    "nonce=\"dcd98b7102dd2f0e8b11d0f600bfb0c093\", uri=\"/dir/index.html\", qop=auth, "
    "nc=00000001, cnonce=\"0a4f113b\", response=\"6629fae49393a05397450978507c4ef1\", "
    "opaque=\"5ccc069c403ebaf9f0171e9517f40e41\"";

KvHandle<KvSipDigestCredentialsInfo> clientCredentials() {
    auto challenge = KvSipChallengeInfo::sConstructFrom(
        "Digest", KvByteArray::sFromString("realm=\"atlanta.com\", "
                                           "nonce=\"ea9c8e88df84f1cec4341ae6cbe5a359\", "
                                           "algorithm=MD5, opaque=\"5ccc069c403ebaf9f0171e95\""));
    KvHandle<KvSipDigestCredentialsInfo> credentials(
        new KvSipDigestCredentialsInfo(challenge, "bob", "zanzibar"));
    credentials->setMethod("INVITE");
    credentials->setUri(KvHandle<KvURI>(new KvSipURL("sip:alice@atlanta.com")));
    return credentials;
}

// Client: the response is computed each time the Authorization value is written.
void BM_ClientWritesAnswer(benchmark::State& state) {
    auto credentials = clientCredentials();
    KvOutputStream& sink = KvOutputSink::sNullStream();
    for (auto _ : state) {
        credentials->serialize(sink);
    }
}
BENCHMARK(BM_ClientWritesAnswer);

// Server: qop "auth" check of received credentials.
void BM_ServerVerifiesQopAuth(benchmark::State& state) {
    auto credentials =
        KvSipDigestCredentialsInfo::sConstructFrom(KvByteArray::sFromString(kRfcCredentials));
    credentials->setMethod("GET");
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            credentials->verify("Mufasa", "Circle Of Life", "testrealm@host.com"));
    }
}
BENCHMARK(BM_ServerVerifiesQopAuth);

// Server: qop "auth-int" check, body hashing included, over body sizes typical of SDP.
void BM_ServerVerifiesQopAuthInt(benchmark::State& state) {
    std::string text = kRfcCredentials;
    text.replace(text.find("qop=auth"), 8, "qop=auth-int");
    auto credentials =
        KvSipDigestCredentialsInfo::sConstructFrom(KvByteArray::sFromString(text.c_str()));
    credentials->setMethod("INVITE");
    const std::string body(static_cast<size_t>(state.range(0)), 'v');
    for (auto _ : state) {
        credentials->setEntityBody(body.data(), static_cast<uint32_t>(body.size()));
        benchmark::DoNotOptimize(
            credentials->verify("Mufasa", "Circle Of Life", "testrealm@host.com"));
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ServerVerifiesQopAuthInt)->Arg(256)->Arg(4096);

// Parsing the credentials text of an incoming Authorization header.
void BM_ParseCredentials(benchmark::State& state) {
    auto text = KvByteArray::sFromString(kRfcCredentials);
    for (auto _ : state) {
        benchmark::DoNotOptimize(KvSipDigestCredentialsInfo::sConstructFrom(text).get());
    }
}
BENCHMARK(BM_ParseCredentials);

// The hash alone, so the cost of the digest chain around it can be told apart.
void BM_Md5Of64Bytes(benchmark::State& state) {
    const std::string text(64, 'a');
    uint8_t digest[KvMD5::kDigestSize];
    for (auto _ : state) {
        KvMD5 md5;
        md5.update(text.data(), text.size());
        md5.final(digest);
        benchmark::DoNotOptimize(digest);
    }
}
BENCHMARK(BM_Md5Of64Bytes);

#ifdef KV_HAVE_OPENSSL
// Reference point: a widely used MD5 over the same input.
void BM_OpenSslMd5Of64Bytes(benchmark::State& state) {
    const std::string text(64, 'a');
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    for (auto _ : state) {
        EVP_Digest(text.data(), text.size(), digest, &length, EVP_md5(), nullptr);
        benchmark::DoNotOptimize(digest);
    }
}
BENCHMARK(BM_OpenSslMd5Of64Bytes);
#endif

} // namespace

BENCHMARK_MAIN();
