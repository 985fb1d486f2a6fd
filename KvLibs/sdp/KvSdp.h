// The whole SDP library. Including it registers every field letter and description token; the
// registries' own sources include it, so the registrations are linked in wherever the registries
// are, including with static linking.
#pragma once

#include "KvSdpParseError.h"

#include "KvSdpAttributeField.h"
#include "KvSdpMediaDescription.h"
#include "KvSdpMediaField.h"
#include "KvSdpRepeatField.h"
#include "KvSdpTimeDescription.h"
#include "KvSdpTimeField.h"

#include "KvSdpSessionDescription.h"

#include "KvSdpBandwidthField.h"
#include "KvSdpConnectionField.h"
#include "KvSdpEmailField.h"
#include "KvSdpInformationField.h"
#include "KvSdpKeyField.h"
#include "KvSdpOriginField.h"
#include "KvSdpPhoneField.h"
#include "KvSdpProtocolVersionField.h"
#include "KvSdpSessionNameField.h"
#include "KvSdpTimeZoneField.h"
#include "KvSdpUriField.h"

#include "KvSdpRtpAttribute.h"
