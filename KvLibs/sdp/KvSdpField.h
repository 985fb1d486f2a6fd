// One line of an SDP body: a type token, "=", and a value whose grammar depends on the token. The
// field registry maps each token to the class that reads it; fields of one letter in one
// description form a chain through their next handle.
#pragma once

#include "KvObject.h"
#include "KvStringBuffer.h"

class KvConstString;
class KvInputStream;
class KvOutputStream;
class KvSdpField;

// Returns a new field object, which the caller wraps in a handle at once.
using KvSdpFieldCreator = KvSdpField* (*)();

class KvSdpField : public KvObject {
public:
    // Releases the chain behind this field iteratively, so a long chain cannot exhaust the stack.
    ~KvSdpField() override;

    // Reads the value part of the current line (the part after "=").
    virtual void parse(KvInputStream& stream) = 0;
    // Writes the whole line: type token, "=", value, "\r\n".
    virtual void serialize(KvOutputStream& stream) const = 0;

    // The first registration of a token wins.
    static void sRegister(const char* token, KvSdpFieldCreator creator);
    // Reads one line into a field of the class registered for its token.
    static KvHandle<KvSdpField> sConstructFrom(KvInputStream& stream);

    const char* getType() const { return m_type.c_str(); }
    KvHandle<KvSdpField> getNext() const { return m_next; }
    // Puts the field at the end of the chain that starts here; a field already in it stays put.
    void append(const KvHandle<KvSdpField>& field);
    // The same, walking from a known member of the chain; returns the chain's new last field.
    static KvSdpField* sAppend(KvSdpField* from, const KvHandle<KvSdpField>& field);
    static KvSdpField* sAppend(KvSdpField* from, KvHandle<KvSdpField>&& field);

protected:
    friend class KvSdpDescription;
    // The same as sConstructFrom for a stream that stands at the type token already.
    static KvHandle<KvSdpField> sConstructAtToken(KvInputStream& stream);

    explicit KvSdpField(const char* type);
    // Parses the text as the value part of a line with this object's own parse.
    void parseText(const char* text);
    // Stores a caller's text; one with a line break would write a line of its own and throws
    // KvSdpParseError "Attempting to set <class> with a line break".
    void setChecked(KvString& target, const char* text) const;
    void setChecked(KvConstString& target, const char* text) const;

    KvString m_type;
    KvHandle<KvSdpField> m_next;
};

// Registers one field class under its token during static initialisation.
class KvSdpFieldRegistrar {
public:
    KvSdpFieldRegistrar(const char* token, KvSdpFieldCreator creator) {
        KvSdpField::sRegister(token, creator);
    }
    template <class T> static KvSdpField* sCreate() { return new T; }
};

// A line whose token nobody registered: keeps its raw value and writes it back unchanged.
class KvSdpUnusedField : public KvSdpField {
public:
    // A token with a line break throws KvSdpParseError.
    explicit KvSdpUnusedField(const char* token);
    ~KvSdpUnusedField() override;

    void parse(KvInputStream& stream) override;
    void serialize(KvOutputStream& stream) const override;

    const char* getValue() const { return m_value.c_str(); }
    void setValue(const char* value) { setChecked(m_value, value); }

private:
    KvString m_value;
};
