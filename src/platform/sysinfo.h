#pragma once
// What the about box tells of the running system.
#include <QLocale>
#include <QString>

// The system's name and kernel version, "<pretty name> (Build <x.y.z>)";
// without a kernel version just the name.
QString OperatingSystemText();

// The machine's total physical memory (MemTotal of /proc/meminfo); 0 when
// it cannot be read.
quint64 TotalMemoryBytes();

// Bytes as whole kilobytes (rounded down) with the locale's thousands
// separator between groups of three digits; empty below 1024 bytes.
QString FormatMemoryKB(quint64 bytes, const QLocale& locale = QLocale());

// FormatMemoryKB(TotalMemoryBytes()), computed at each call.
QString GetTotalMemoryText();
