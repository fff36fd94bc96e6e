#include "view/ViewTransform.h"

CMatrix IdentityTransform() {
    CMatrix m;
    m.Identity(3);
    return m;
}

CMatrix TranslationTransform(double dx, double dy) {
    const double v[9] = {1, 0, dx, 0, 1, dy, 0, 0, 1};
    return CMatrix(3, 3, v);
}

CMatrix ScalingTransform(double sx, double sy) {
    const double v[9] = {sx, 0, 0, 0, sy, 0, 0, 0, 1};
    return CMatrix(3, 3, v);
}

CMatrix RotationTransform(double angle) {
    const double c = std::cos(angle), s = std::sin(angle);
    const double v[9] = {c, -s, 0, s, c, 0, 0, 0, 1};
    return CMatrix(3, 3, v);
}

CMatrix InverseTransform(const CMatrix& m) {
    const double a = m(0, 0), b = m(0, 1), c = m(0, 2);
    const double d = m(1, 0), e = m(1, 1), f = m(1, 2);
    const double g = m(2, 0), h = m(2, 1), i = m(2, 2);
    const double A = e * i - f * h, B = -(d * i - f * g), C = d * h - e * g;
    const double det = a * A + b * B + c * C;
    if (det == 0 || !std::isfinite(det))
        return IdentityTransform();
    const double v[9] = {A / det, -(b * i - c * h) / det, (b * f - c * e) / det,
                         B / det, (a * i - c * g) / det,  -(a * f - c * d) / det,
                         C / det, -(a * h - b * g) / det, (a * e - b * d) / det};
    return CMatrix(3, 3, v);
}

double SegmentDistance(const PointD& p, const PointD& a, const PointD& b) {
    const PointD ab = b - a, ap = p - a;
    const double len2 = Dot(ab, ab);
    double t = len2 > 0 ? Dot(ap, ab) / len2 : 0;
    t = t < 0 ? 0 : (t > 1 ? 1 : t);
    return Length(p - (a + ab * t));
}
