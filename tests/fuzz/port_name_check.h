// The port name CSerial derives from a device text, checked against the C
// library's reading of the number after the first "COM"; a device's path
// names itself (or its first 63 characters, in the port's name field).
#ifndef TARNEL_TESTS_PORT_NAME_CHECK_H
#define TARNEL_TESTS_PORT_NAME_CHECK_H

#include <string>

void CheckPortName(const std::string& aDevice, const char* aName, const std::string& aContext);

#endif
