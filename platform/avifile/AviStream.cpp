#include "platform/avifile/AviStream.h"

AVIRESULT AVIStreamWrite(IAVIStream* stream, long start, long samples, const void* buffer,
                         long bufferSize, unsigned long flags, long* samplesWritten,
                         long* bytesWritten) {
    if (samplesWritten) *samplesWritten = 0;
    if (bytesWritten) *bytesWritten = 0;
    if (!stream) return AVIERR_BADPARAM;
    return stream->Write(start, samples, buffer, bufferSize, flags, samplesWritten, bytesWritten);
}
