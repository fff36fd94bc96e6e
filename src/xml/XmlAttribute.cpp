#include "xml/XmlAttribute.h"

#include <climits>
#include <cmath>
#include <cstdlib>

namespace Zelvo {

namespace {

// Clamps into [min, max] and reports whether the value had to move. NaN is out of range.
bool ClampInto(double& v, double min, double max) {
    if (std::isnan(v)) {
        v = min;
        return true;
    }
    if (v < min) {
        v = min;
        return true;
    }
    if (v > max) {
        v = max;
        return true;
    }
    return false;
}

}  // namespace

Chars XmlAttribute::Value(const Chars& defaultValue, bool writeBack) {
    if (!value.IsEmpty())
        return value;
    if (writeBack)
        value = defaultValue;
    return defaultValue;
}

void XmlAttribute::SetInt(int v) { value = Chars::Format("%d", v); }

void XmlAttribute::SetDouble(double v) { value = Chars::Format("%G", v); }

int XmlAttribute::ToInt(int defaultValue, bool writeBack, int min, int max) {
    valid = true;
    double result;
    if (value.IsNumber() && !std::isnan(std::atof(value.c_str()))) {
        result = std::trunc(std::atof(value.c_str()));
    } else {
        result = defaultValue;
        valid = false;
    }
    if (ClampInto(result, min, max))
        valid = false;
    int v = static_cast<int>(result);
    if (writeBack)
        SetInt(v);
    return v;
}

double XmlAttribute::ToDouble(double defaultValue, bool writeBack, double min, double max) {
    valid = true;
    double result;
    if (value.IsNumber() && !std::isnan(std::atof(value.c_str()))) {
        result = std::atof(value.c_str());
    } else {
        result = defaultValue;
        valid = false;
    }
    if (ClampInto(result, min, max))
        valid = false;
    if (writeBack)
        SetDouble(result);
    return result;
}

int XmlAttribute::ToInt() { return ToInt(0, false, INT_MIN, INT_MAX); }

double XmlAttribute::ToDouble() {
    if (value.IsNumber())
        return std::atof(value.c_str());
    valid = false;
    return 0;
}

bool XmlAttribute::WasValid(bool reset) {
    bool was = valid;
    if (reset)
        valid = true;
    return was;
}

}  // namespace Zelvo
