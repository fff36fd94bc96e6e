#include "image/ImgTypes.h"

template class ImgT<uint8_t>;
template class ImgT<int32_t>;
template class ImgT<float>;
template class ImgT<double>;
template class ImgT<Rgb>;
template class ImgT<Rgba>;
template class ImgT<RgbSHORT>;
template class ImgT<CpxFLOAT>;
