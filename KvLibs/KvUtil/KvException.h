// The stack's exception family. Every exception is a counted object thrown as
// KvHandle<KvException>; catch sites catch that one handle type.
#pragma once

#include "KvObject.h"
#include "KvStringBuffer.h"

#include <cstdint>

class KvException : public KvObject {
public:
    explicit KvException(const char* message);
    explicit KvException(const KvString& message);
    ~KvException() override;
    void print(KvOutputStream& stream) const override;

    const KvString& getMessage() const { return m_message; }
    const char* getText() const { return m_message.c_str(); }

    [[noreturn]] static void sThrow(const char* message);
    [[noreturn]] static void sThrowHandle(KvException* exception);

protected:
    void printException(KvOutputStream& stream) const { KvException::print(stream); }

    KvString m_message;
};

class KvAssertionFailure : public KvException {
public:
    KvAssertionFailure(const char* message, const char* sourceFile, int32_t line,
                       const char* compileDate);
    ~KvAssertionFailure() override;
    void print(KvOutputStream& stream) const override;

    [[noreturn]] static void sThrow(const char* message, const char* sourceFile, int32_t line,
                                    const char* compileDate);

protected:
    const char* m_sourceFile;
    int32_t m_line;
    const char* m_compileDate;
};

class KvSystemError : public KvException {
public:
    // A code of 0 stands for the calling thread's last system error.
    KvSystemError(const char* message, uint32_t code);
    ~KvSystemError() override;
    void print(KvOutputStream& stream) const override;
    uint32_t getErrorCode() const { return m_errorCode; }

    [[noreturn]] static void sThrow(const char* message, uint32_t code = 0);

protected:
    uint32_t m_errorCode;
};

class KvSocketError : public KvSystemError {
public:
    // A code of 0 stands for the calling thread's last socket error.
    KvSocketError(const char* message, uint32_t code);
    ~KvSocketError() override;
    void print(KvOutputStream& stream) const override;

    // The table text of a socket error code, or null when the code has none.
    static const char* sErrorText(uint32_t code);
    [[noreturn]] static void sThrow(const char* message, uint32_t code = 0);
};

#define KV_ASSERT_FAILED(message)                                                                  \
    KvAssertionFailure::sThrow((message), __FILE__, __LINE__, __DATE__ " " __TIME__)
#define KV_ASSERT(condition, message)                                                              \
    do {                                                                                           \
        if (!(condition))                                                                          \
            KV_ASSERT_FAILED(message);                                                             \
    } while (0)
