#include "RKJP2Decoder2.h"

#include "RKParam.h"
#include "RKString.h"

namespace RKSDK {

RKJPEG2000Decoder::RKJPEG2000Decoder(const char* rateKey) : m_rateKey(rateKey), m_rate(1.0f) {}

RKJPEG2000Decoder::~RKJPEG2000Decoder() {}

int RKJPEG2000Decoder::setRate(float rate) {
    m_rate = rate;
    return 1;
}

float RKJPEG2000Decoder::getRate() {
    return m_rate;
}

int RKJPEG2000Decoder::readHeader() {
    // No code-stream reader yet: nothing is recognised, the decoder stays closed.
    m_width = 0;
    m_height = 0;
    return 0;
}

int RKJPEG2000Decoder::decode(RKBuffer*) {
    return 0;
}

unsigned int RKJPEG2000Decoder::pixelType() {
    return RK_PIXEL_RGB24;
}

void RKJPEG2000Decoder::writeInfo(RKParam* properties) {
    properties->set(m_rateKey, RKString(static_cast<double>(m_rate)));
}

RKJP2Decoder2::RKJP2Decoder2() : RKJPEG2000Decoder("JP2_Rate") {
    appendClassName("RKJP2Decoder2");
}

RKJPCDecoder2::RKJPCDecoder2() : RKJPEG2000Decoder("JPC_Rate") {
    appendClassName("RKJPCDecoder2");
}

} // namespace RKSDK
