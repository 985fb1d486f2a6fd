// What the i= and s= lines share: one free-text value, stored as given and written back whole.
// Each class reads its own line and names its own failures.
#pragma once

#include "KvConstString.h"
#include "KvSdpField.h"

class KvSdpTextField : public KvSdpField {
public:
    const char* getValue() const { return m_value.c_str(); }
    void setValue(const char* value) { setChecked(m_value, value); }

protected:
    explicit KvSdpTextField(const char* type) : KvSdpField(type) {}
    // Stores the text as the value without parsing; an empty text throws KvSdpParseError with
    // blankText, a text holding CR or LF (it would inject lines) with lineBreakText.
    KvSdpTextField(const char* type, const char* text, const char* blankText,
                   const char* lineBreakText);

    // The letter, "=", the value and CR LF; an empty value throws incompleteText as KvException.
    void serializeText(KvOutputStream& stream, const char* incompleteText) const;

    KvConstString m_value;
};
