#pragma once
// Carrier type numbers: the key of the carrier and contact editor registries
// and the TypeNo of a CarrierTypes row.

#include <QtGlobal>

inline constexpr quint8 CARRIER_TYPE_TAP_MODEM_ID = 1;
inline constexpr quint8 CARRIER_TYPE_PACNET_ID = 2;
inline constexpr quint8 CARRIER_TYPE_TAP_DIRECT_ID = 3;
// The contact registry's name for type 3.
inline constexpr quint8 CARRIER_TYPE_TAP_DIRECT_ACCESS_ID = 3;
inline constexpr quint8 CARRIER_TYPE_SMS_ID = 4;
inline constexpr quint8 CARRIER_TYPE_SMTP_ID = 5;
inline constexpr quint8 CARRIER_TYPE_SNPP_ID = 6;
inline constexpr quint8 CARRIER_TYPE_WCTP_ID = 7;
inline constexpr quint8 CARRIER_TYPE_MSG_ID = 8;
inline constexpr quint8 CARRIER_TYPE_ACU_ID = 9;
