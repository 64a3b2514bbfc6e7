#pragma once
// What a holder of device objects implements to follow the display device through loss and
// reset. The renderer tells every registered listener, in order of registration, before it
// releases its own device objects (for a reset, a device made anew, or its end) and after it has
// made them again.

namespace QuillEngine {

class IDeviceResetListener {
public:
    virtual ~IDeviceResetListener() = default;
    // Give back everything that lives on the device; it may already be lost.
    virtual void OnDeviceLost() = 0;
    // The device is usable again: make what is needed. False when something could not be made;
    // the renderer then treats the restore as failed.
    virtual bool OnDeviceRestored() { return true; }
};

} // namespace QuillEngine
