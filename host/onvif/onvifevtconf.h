// The event configuration built into the recorder: a copy of
// host/onvif/data/onvifevtconf.json, used when the file is missing or bad.
#ifndef HOST_ONVIFEVTCONF_H
#define HOST_ONVIFEVTCONF_H

const char* OnvifEvtConfBuiltinText();

#endif  // HOST_ONVIFEVTCONF_H
