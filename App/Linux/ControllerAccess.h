#pragma once

//==============================================================================
/**
    Linux only: names the controller and the remedy to the platform layer, so
    that a controller whose hidraw node belongs to root (the udev rule is not
    installed) is reported on the standard error stream once, with the commands
    that install the rule, and no other device the user may not open is.

    Call it before the controller link opens any device.
*/
void setControllerAccessHint();
