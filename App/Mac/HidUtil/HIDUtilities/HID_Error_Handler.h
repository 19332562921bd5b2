// The HID utility library's error reporters.
//
// A report is formatted into a buffer of the reporter's own and then goes
// nowhere: nothing is printed, logged or stored, and the reporters have no
// result. Only an observer that a test installs ever sees the text.
#pragma once

// Formats the message as it stands ("%s").
void HIDReportError(const char* strError);
// Formats the message with the number in decimal and hexadecimal ("%s #%d (0x%x)").
void HIDReportErrorNum(const char* strError, int numError);

// Receives every formatted report, cut to 255 bytes. None by default.
typedef void (*HIDErrorObserver)(const char* formattedReport);
// Installs an observer (null removes it); returns the previous one.
HIDErrorObserver hu_SetErrorObserver(HIDErrorObserver observer);
