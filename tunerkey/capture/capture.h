// Capture device access: the card's capture filter, the property requests sent
// to its driver, chip register reads and the software-mode I2C read of the
// remote's receiver. Everything runs on the main thread.
#pragma once
#include <windows.h>

// Finds the card's capture filter and its device handle; true when a filter was
// found (also when it offers no handle). Initialises COM on every call.
bool openCaptureFilter();
// Releases the filter and ends the program's use of COM (once, at Exit).
void releaseCaptureFilter();
// A chip register's value. While a capture message box is open, and when the
// card has no device handle, nothing is sent and the value has
// CHIP_STATUS_NO_KEY set, so that the poll reads no key.
DWORD readChipRegister(DWORD address);
// Reads `count` bytes from the I2C device at `deviceAddress` (write form).
// True only when the bytes in `buffer` are fresh: the whole transaction went
// through. A failed or skipped read returns false; the buffer may then hold
// anything.
bool readReceiver(BYTE deviceAddress, BYTE *buffer, int count);

const DWORD CHIP_STATUS_REGISTER = 0x350010; // the register the poll reads
const DWORD CHIP_STATUS_NO_KEY = 0x20;       // its bit: no key byte to read now
const BYTE RECEIVER_ADDRESS = 0x60;          // the remote's receiver on the I2C bus
