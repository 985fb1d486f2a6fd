// The value part of an attribute line (the text after the first ":").
#pragma once

#include "KvConstString.h"
#include "KvObject.h"
#include "KvStringBuffer.h"

class KvInputStream;
class KvOutputStream;

class KvSdpAttribute : public KvObject {
public:
    KvSdpAttribute() : m_changed(false), m_stale(false) {}
    // A text with a line break throws KvSdpParseError.
    explicit KvSdpAttribute(const char* text);
    ~KvSdpAttribute() override;

    // Reads one whitespace-delimited token of the current line into the value.
    virtual void parse(KvInputStream& stream);
    virtual void serialize(KvOutputStream& stream) const;
    // Rebuilds the value text from the parts a subclass keeps.
    virtual void updateText() {}

    // The value text, rebuilt once after a part changed: a text returned earlier stays valid
    // until the next change.
    const char* getText();
    void setText(const char* text);
    bool isChanged() const { return m_changed; }
    void setChanged(bool changed) {
        m_changed = changed;
        m_stale = changed;
    }

protected:
    // Gives it the value of a line it has read.
    friend class KvSdpAttributeField;

    // Every setter of a part: the value is marked edited and its text out of date.
    void markChanged() {
        m_changed = true;
        m_stale = true;
    }

    KvConstString m_value;
    // Stays set once the value was edited, as callers read it.
    bool m_changed;
    // The value text lags behind the parts until the next read rebuilds it.
    bool m_stale;
};
