// The waveform output calls and PlaySoundW, with the errors each reports
// when it fails on the phone; the fault plan knows these and no others.
#include <windows.h>
#include <mmsystem.h>

#include "device/platform_calls.h"

namespace {

const handset::PlatformCallTable
    kAudioCalls("audio",
                {
                    {"waveOutOpen",
                     {MMSYSERR_NOMEM, MMSYSERR_ALLOCATED, MMSYSERR_BADDEVICEID, MMSYSERR_NODRIVER,
                      WAVERR_BADFORMAT}},
                    {"waveOutPrepareHeader", {MMSYSERR_NOMEM, MMSYSERR_INVALHANDLE}},
                    {"waveOutUnprepareHeader", {WAVERR_STILLPLAYING, MMSYSERR_INVALHANDLE}},
                    {"waveOutWrite", {MMSYSERR_NOMEM, WAVERR_UNPREPARED, MMSYSERR_INVALHANDLE}},
                    {"waveOutReset", {MMSYSERR_INVALHANDLE, MMSYSERR_NODRIVER}},
                    {"waveOutClose", {WAVERR_STILLPLAYING, MMSYSERR_INVALHANDLE, MMSYSERR_NOMEM}},
                    {"waveOutSetVolume", {MMSYSERR_NOTSUPPORTED, MMSYSERR_INVALHANDLE}},
                    {"waveOutMessage", {MMSYSERR_NOTSUPPORTED, MMSYSERR_INVALHANDLE}},
                    // The documentation names no last error; these are the handset's.
                    {"PlaySoundW", {ERROR_RESOURCE_NAME_NOT_FOUND, ERROR_BAD_FORMAT}},
                });

} // namespace
