// Decoders of JPEG 2000 data for the image-file source: RKJP2Decoder2 reads JP2 files,
// RKJPCDecoder2 raw code-streams. Both present the single-image decoder operations (getImage,
// getBuffer, the five opens) and give images of type 1003 (red, green, blue).
//
// The code-stream reader is not part of the library yet: every open fails (returns 0) and
// leaves the decoder closed, so getImage and getBuffer give null and getInfo 0.
#ifndef RK_IMAGING_RKJP2DECODER2_H
#define RK_IMAGING_RKJP2DECODER2_H

#include "RKDecoderFrame.h"

namespace RKSDK {

// What the two twins share: the rate reported by getInfo and the decode steps.
class RKJPEG2000Decoder : public RKImageDecoder {
public:
    ~RKJPEG2000Decoder() override;

    // Stores the rate that getInfo reports; the decode does not read it. Returns 1.
    virtual int setRate(float rate);
    virtual float getRate();

protected:
    // rateKey: the getInfo key of the rate ("JP2_Rate" or "JPC_Rate").
    explicit RKJPEG2000Decoder(const char* rateKey);

    int readHeader() override;
    int decode(RKBuffer* target) override;
    unsigned int pixelType() override;
    void writeInfo(RKParam* properties) override;

private:
    const char* m_rateKey;
    float m_rate;
};

class RKJP2Decoder2 : public RKJPEG2000Decoder {
public:
    RKJP2Decoder2();
};

class RKJPCDecoder2 : public RKJPEG2000Decoder {
public:
    RKJPCDecoder2();
};

} // namespace RKSDK

#endif
