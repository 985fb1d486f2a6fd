#include "KvSdpTextField.h"

#include "KvOutputStream.h"
#include "KvSdpParseError.h"
#include "KvSdpReader.h"

KvSdpTextField::KvSdpTextField(const char* type, const char* text, const char* blankText,
                               const char* lineBreakText)
    : KvSdpField(type), m_value(text) {
    if (m_value.isEmpty())
        KvSdpParseError::sThrow(blankText);
    KvSdpReader::refuseLineEnd(m_value.c_str(), lineBreakText);
}

void KvSdpTextField::serializeText(KvOutputStream& stream, const char* incompleteText) const {
    if (m_value.isEmpty())
        KvException::sThrow(incompleteText);
    KvSdpLineWriter line(stream);
    line << m_type << '=' << m_value << "\r\n";
    line.flush();
}
