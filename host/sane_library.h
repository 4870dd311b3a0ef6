// SANE's functions, taken from libsane when the host first scans or lists
// the scanners (Linux only): a run that converts files never loads SANE
// and the libraries its backends bring (USB, udev, XML), which would cost
// every run more than a millisecond to start.
#pragma once

#include <sane/sane.h>

#include <string>

struct SaneLibrary {
    SANE_Status (*init)(SANE_Int*, SANE_Auth_Callback);
    void (*exit)();
    SANE_Status (*get_devices)(const SANE_Device***, SANE_Bool);
    SANE_Status (*open)(SANE_String_Const, SANE_Handle*);
    void (*close)(SANE_Handle);
    const SANE_Option_Descriptor* (*get_option_descriptor)(SANE_Handle, SANE_Int);
    SANE_Status (*control_option)(SANE_Handle, SANE_Int, SANE_Action, void*, SANE_Int*);
    SANE_Status (*get_parameters)(SANE_Handle, SANE_Parameters*);
    SANE_Status (*start)(SANE_Handle);
    SANE_Status (*read)(SANE_Handle, SANE_Byte*, SANE_Int, SANE_Int*);
    void (*cancel)(SANE_Handle);
    SANE_String_Const (*strstatus)(SANE_Status);
};

// Loads libsane once and takes its functions. Throws InputError naming the
// library and why it could not be loaded.
const SaneLibrary& LoadSane();

// The functions, once LoadSane has succeeded (SaneSession's constructor).
const SaneLibrary& Sane();
