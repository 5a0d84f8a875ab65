// Wave playback: the RIFF/WAVE parser and PlayWaveResource over the output.
#include "signals/signals.h"

#include <audiosys.h>
#include <string.h>

namespace {

DWORD ReadLe32(const BYTE* p) {
    return (DWORD)p[0] | (DWORD)p[1] << 8 | (DWORD)p[2] << 16 | (DWORD)p[3] << 24;
}

WORD ReadLe16(const BYTE* p) {
    return (WORD)(p[0] | p[1] << 8);
}

} // namespace

WavePlayback g_wavePlayback;

BOOL ParseWaveImage(WaveImage* image, const void* bytes, DWORD size) {
    memset(image, 0, sizeof *image);
    const BYTE* p = (const BYTE*)bytes;
    if (!p || size < 12 || memcmp(p, "RIFF", 4) != 0) return FALSE;
    memcpy(image->formType, p + 8, 4);
    if (memcmp(image->formType, "WAVE", 4) != 0) {
        memset(image, 0, sizeof *image);
        return FALSE;
    }
    BOOL haveFormat = FALSE;
    DWORD at = 12;
    // Each chunk header must lie inside the image; a chunk's data is read
    // only as far as the image goes.
    while (size - at >= 8) {
        const BYTE* chunk = p + at;
        const DWORD length = ReadLe32(chunk + 4);
        const DWORD room = size - at - 8; // bytes after the header
        if (memcmp(chunk, "fmt ", 4) == 0) {
            // A shorter one holds no whole format.
            if (length >= 16 && room >= 16) {
                memcpy(image->formatBlock, chunk + 8, 16);
                haveFormat = TRUE;
            }
        } else if (memcmp(chunk, "data", 4) == 0) {
            image->dataOffset = at + 8;
            image->dataLength = length < room ? length : room;
            image->data = chunk + 8;
        }
        if (length >= room) break; // the next chunk would start at or past the end
        at += 8 + length;
        if (length & 1) ++at; // RIFF pads an odd chunk to an even length
    }
    if (!haveFormat || !image->data) {
        memset(image, 0, sizeof *image);
        return FALSE;
    }
    image->totalSize = size;
    return TRUE;
}

void CALLBACK WaveOutCallback(HWAVEOUT output, UINT message, DWORD_PTR instance, DWORD_PTR param1,
                              DWORD_PTR param2) {
    if (message == WOM_DONE && g_wavePlayback.done) SetEvent(g_wavePlayback.done);
}

BOOL ReleaseWavePlayback(void) {
    WavePlayback& wave = g_wavePlayback;
    if (wave.output != NULL) {
        // An output the driver no longer knows (MMSYSERR_INVALHANDLE) holds
        // nothing any more.
        if (wave.header.dwFlags & WHDR_PREPARED) {
            if (!(wave.header.dwFlags & WHDR_DONE)) waveOutReset(wave.output);
            MMRESULT r = waveOutUnprepareHeader(wave.output, &wave.header, sizeof wave.header);
            if (r != MMSYSERR_NOERROR && r != MMSYSERR_INVALHANDLE) return FALSE;
        }
        MMRESULT r = waveOutClose(wave.output);
        if (r != MMSYSERR_NOERROR && r != MMSYSERR_INVALHANDLE) return FALSE;
        wave.output = NULL;
    }
    memset(&wave.header, 0, sizeof wave.header);
    // Closed only now, so that the callback always finds its event.
    if (wave.done != NULL) {
        CloseHandle(wave.done);
        wave.done = NULL;
    }
    return TRUE;
}

void PlayWaveResource(HINSTANCE instance, UINT resourceId, BOOL keepVolume, BOOL forceSpeaker) {
    // A sound before this one that could not be stopped still holds the
    // output: this one is skipped until that lets go.
    if (!ReleaseWavePlayback()) return;
    WavePlayback& wave = g_wavePlayback;
    WaveImage image;
    WAVEFORMATEX format;
    memset(&image, 0, sizeof image);
    memset(&format, 0, sizeof format);

    HRSRC found = FindResourceW(instance, MAKEINTRESOURCE(resourceId), TEXT("WAVE"));
    if (!found) return;
    const void* bytes = LoadResource(instance, found);
    if (!bytes) return;

    wave.done = CreateEventW(NULL, TRUE, FALSE, NULL);
    if (wave.done && ParseWaveImage(&image, bytes, SizeofResource(instance, found))) {
        const BYTE* f = image.formatBlock;
        format.wFormatTag = ReadLe16(f);
        format.nChannels = ReadLe16(f + 2);
        format.nSamplesPerSec = ReadLe32(f + 4);
        format.nAvgBytesPerSec = ReadLe32(f + 8);
        format.nBlockAlign = ReadLe16(f + 12);
        format.wBitsPerSample = ReadLe16(f + 14);
        if (waveOutOpen(&wave.output, WAVE_MAPPER, &format, (DWORD_PTR)WaveOutCallback, 0,
                        CALLBACK_FUNCTION) != MMSYSERR_NOERROR)
            wave.output = NULL;
    }
    if (wave.output) {
        // Routing and volume are requests a driver may not support.
        waveOutMessage(wave.output, MM_WOM_SETSECONDARYGAINCLASS, SIGNAL_GAIN_CLASS, 0);
        if (forceSpeaker) waveOutMessage(wave.output, MM_WOM_FORCESPEAKER, TRUE, 0);
        if (!keepVolume) waveOutSetVolume(wave.output, FULL_STREAM_VOLUME);
        wave.header.lpData = (LPSTR)image.data;
        wave.header.dwBufferLength = image.dataLength;
        if (waveOutPrepareHeader(wave.output, &wave.header, sizeof wave.header) ==
            MMSYSERR_NOERROR) {
            waveOutWrite(wave.output, &wave.header, sizeof wave.header);
            WaitForSingleObject(wave.done, WAVE_WAIT_MS);
        }
    }
    memset(&image, 0, sizeof image);
    // A sound still playing is stopped; one that cannot be stopped keeps
    // the output and the header until a later sound gets them back.
    ReleaseWavePlayback();
}
