// The value part of an attribute line (the text after the first ":").
#pragma once

#include "KvConstString.h"
#include "KvObject.h"
#include "KvStringBuffer.h"

class KvInputStream;
class KvOutputStream;

class KvSdpAttribute : public KvObject {
public:
    KvSdpAttribute() : m_changed(false) {}
    // A text with a line break throws KvSdpParseError.
    explicit KvSdpAttribute(const char* text);
    ~KvSdpAttribute() override;

    // Reads one whitespace-delimited token of the current line into the value.
    virtual void parse(KvInputStream& stream);
    virtual void serialize(KvOutputStream& stream) const;
    // Rebuilds the value text from the parts a subclass keeps.
    virtual void updateText() {}

    // The value text, rebuilt first when a part changed.
    const char* getText();
    void setText(const char* text);
    bool isChanged() const { return m_changed; }
    void setChanged(bool changed) { m_changed = changed; }

protected:
    // Gives it the value of a line it has read.
    friend class KvSdpAttributeField;

    KvConstString m_value;
    bool m_changed;
};
