#include "engine/core/sg_math.h"

#include <cmath>
#include <cstring>

#include "engine/core/sg_stream.h"

namespace {

constexpr double kTiny = 1e-6;
constexpr float kInvertLimit = 1e-6f;

float F(double v) { return static_cast<float>(v); }

// acos with the ends pinned: c <= -1 gives pi, c >= 1 gives 0.
double ClampedAcos(double c) {
    if (c <= -1.0)
        return SgPi;
    if (c >= 1.0)
        return 0.0;
    return std::acos(c);
}

// The 23-bit mantissas of sqrt(m) for the 128 prefixes m in [1, 2), then the 128 in [2, 4).
struct SqrtTable {
    uint32_t mantissa[256];
    SqrtTable() {
        for (int i = 0; i < 256; ++i) {
            double m = (1.0 + (i & 127) / 128.0) * (i < 128 ? 1.0 : 2.0);
            float root = static_cast<float>(std::sqrt(m));
            uint32_t bits;
            std::memcpy(&bits, &root, sizeof bits);
            mantissa[i] = bits & 0x7FFFFF;
        }
    }
};

const SqrtTable& TableRoots() {
    static const SqrtTable table;
    return table;
}

}  // namespace

// ---- SgVec3 ----

SgVec3 SgVec3::Cross(const SgVec3& o) const {
    return {F(double(y) * o.z - double(z) * o.y), F(double(z) * o.x - double(x) * o.z),
            F(double(x) * o.y - double(y) * o.x)};
}

float SgVec3::Normalize() {
    double length = std::sqrt(double(x) * x + double(y) * y + double(z) * z);
    if (length <= kTiny) {
        *this = SgVec3();
        return 0.0f;
    }
    x = F(x / length);
    y = F(y / length);
    z = F(z / length);
    return F(length);
}

float SgVec3::TableUnitFactor(float squared) {
    uint32_t bits;
    std::memcpy(&bits, &squared, sizeof bits);
    int exponent = static_cast<int>((bits >> 23) & 0xFF);
    if (squared <= 0.0f || exponent == 0xFF)
        return 0.0f;
    if (exponent == 0)
        // Denormal: beyond the table, taken the exact way.
        return static_cast<float>(1.0 / std::sqrt(double(squared)));
    int e = exponent - 127;
    // An odd power of two takes the [2, 4) half of the table; the halved exponent floors.
    int odd = e & 1;
    uint32_t index = (static_cast<uint32_t>(odd) << 7) | ((bits >> 16) & 127);
    int half = (e - odd) / 2;
    uint32_t rootBits = (static_cast<uint32_t>(half + 127) << 23) | TableRoots().mantissa[index];
    float root;
    std::memcpy(&root, &rootBits, sizeof root);
    return 1.0f / root;
}

void SgVec3::NormalizeArrayFast(SgVec3* vectors, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
        SgVec3& v = vectors[i];
        float squared = v.x * v.x + v.y * v.y + v.z * v.z;
        uint32_t bits;
        std::memcpy(&bits, &squared, sizeof bits);
        uint32_t exponent = (bits >> 23) & 0xFF;
        if (exponent == 0 || exponent == 0xFF) {
            // Zero stays zero; lengths the table cannot take (denormal, overflowing) go the exact way.
            if (v.x != 0.0f || v.y != 0.0f || v.z != 0.0f)
                v.Normalize();
            continue;
        }
        float inverse = TableUnitFactor(squared);
        v.x *= inverse;
        v.y *= inverse;
        v.z *= inverse;
    }
}

// ---- SgMat3 ----

void SgMat3::MakeRotation(int kind, double p1, double p2, double p3, double p4) {
    *this = SgMat3();
    double c = std::cos(p1), s = std::sin(p1);
    switch (kind) {
    case 1:
        m[0] = m[4] = m[8] = 1.0f;
        break;
    case 2:
        m[0] = F(p1);
        m[4] = F(p2);
        m[8] = F(p3);
        break;
    case 3:
        m[0] = 1.0f;
        m[4] = F(c);
        m[5] = F(s);
        m[7] = F(-s);
        m[8] = F(c);
        break;
    case 4:
        m[4] = 1.0f;
        m[0] = F(c);
        m[2] = F(-s);
        m[6] = F(s);
        m[8] = F(c);
        break;
    case 5:
        m[8] = 1.0f;
        m[0] = F(c);
        m[1] = F(s);
        m[3] = F(-s);
        m[4] = F(c);
        break;
    case 6: {
        double ax = p2, ay = p3, az = p4, t = 1.0 - c;
        m[0] = F(t * ax * ax + c);
        m[1] = F(t * ax * ay + s * az);
        m[2] = F(t * ax * az - s * ay);
        m[3] = F(t * ax * ay - s * az);
        m[4] = F(t * ay * ay + c);
        m[5] = F(t * ay * az + s * ax);
        m[6] = F(t * ax * az + s * ay);
        m[7] = F(t * ay * az - s * ax);
        m[8] = F(t * az * az + c);
        break;
    }
    default:
        break;
    }
}

SgMat3 SgMat3::Rotation(int kind, double p1, double p2, double p3, double p4) {
    SgMat3 r;
    r.MakeRotation(kind, p1, p2, p3, p4);
    return r;
}

SgMat3 SgMat3::Transpose() const { return SgMat3{{m[0], m[3], m[6], m[1], m[4], m[7], m[2], m[5], m[8]}}; }

bool SgMat3::IsEqualTo(const SgMat3& o) const {
    for (int i = 0; i < 9; ++i)
        if (m[i] != o.m[i])
            return false;
    return true;
}

SgMat3 MultiplyMat3(const SgMat3& a, const SgMat3& b) {
    SgMat3 r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            r.m[i * 3 + j] = F(double(a.m[i * 3]) * b.m[j] + double(a.m[i * 3 + 1]) * b.m[3 + j] +
                               double(a.m[i * 3 + 2]) * b.m[6 + j]);
    return r;
}

bool SgMat3::Invert(SgMat3& out) const {
    auto cof = [this](int a, int b, int c, int d) { return double(m[a]) * m[b] - double(m[c]) * m[d]; };
    out.m[0] = F(cof(4, 8, 5, 7));
    out.m[1] = F(cof(2, 7, 1, 8));
    out.m[2] = F(cof(1, 5, 2, 4));
    out.m[3] = F(cof(5, 6, 3, 8));
    out.m[4] = F(cof(0, 8, 2, 6));
    out.m[5] = F(cof(2, 3, 0, 5));
    out.m[6] = F(cof(3, 7, 4, 6));
    out.m[7] = F(cof(1, 6, 0, 7));
    out.m[8] = F(cof(0, 4, 1, 3));
    double det = double(m[0]) * out.m[0] + double(m[1]) * out.m[3] + double(m[2]) * out.m[6];
    if (std::isnan(det) || std::fabs(det) <= kInvertLimit)
        return false;
    double inverse = 1.0 / det;
    for (float& v : out.m)
        v = F(v * inverse);
    return true;
}

SgMat3 SgMat3::Inverse() const {
    SgMat3 out;
    return Invert(out) ? out : SgMat3();
}

void SgMat3::ToAngleAxis(float& angle, float& x, float& y, float& z) const {
    double c = (double(m[0]) + m[4] + m[8] - 1.0) * 0.5;
    double a = ClampedAcos(c);
    angle = F(a);
    SgVec3 axis{F(double(m[5]) - m[7]), F(double(m[6]) - m[2]), F(double(m[1]) - m[3])};
    double length = axis.Length();
    if (length > kTiny) {
        x = F(axis.x / length);
        y = F(axis.y / length);
        z = F(axis.z / length);
        return;
    }
    if (a <= 1.0) {
        x = 1.0f;
        y = z = 0.0f;
        return;
    }
    // A half turn: the axis is the vector the matrix leaves unchanged.
    float hx = F(std::sqrt((m[0] + 1.0) / 2)), hy = F(std::sqrt((m[4] + 1.0) / 2)),
          hz = F(std::sqrt((m[8] + 1.0) / 2));
    const SgVec3 candidates[3] = {{hx, hy, hz}, {hx, -hy, hz}, {hx, -hy, -hz}};
    SgVec3 chosen{hx, hy, -hz};
    for (const SgVec3& v : candidates) {
        if ((TimesVec(v) - v).SquaredLength() < kTiny) {
            chosen = v;
            break;
        }
    }
    x = chosen.x;
    y = chosen.y;
    z = chosen.z;
}

void SgMat3::EigenSolve(float values[3], SgMat3& vectors) const {
    // Householder step on (m1, m2) to tridiagonal form: d the diagonal, e[i] couples i and i + 1.
    double d[3], e[3] = {0, 0, 0}, q[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    if (std::fabs(m[2]) < 1e-8) {
        d[0] = m[0];
        d[1] = m[4];
        d[2] = m[8];
        e[0] = m[1];
        e[1] = m[5];
    } else {
        double l = std::sqrt(double(m[1]) * m[1] + double(m[2]) * m[2]);
        double u = m[1] / l, v = m[2] / l;
        double qq = 2.0 * u * m[5] + v * (double(m[8]) - m[4]);
        d[0] = m[0];
        d[1] = m[4] + v * qq;
        d[2] = m[8] - v * qq;
        e[0] = l;
        e[1] = m[5] - qq * u;
        q[1][1] = u;
        q[1][2] = v;
        q[2][1] = v;
        q[2][2] = -u;
    }

    // QL iteration with implicit shifts, accumulating the rotations into q.
    for (int l = 0; l < 3; ++l) {
        for (int iteration = 0; iteration < 32; ++iteration) {
            int mm = l;
            for (; mm < 2; ++mm) {
                double dd = std::fabs(d[mm]) + std::fabs(d[mm + 1]);
                if (std::fabs(e[mm]) <= 1e-15 * dd || e[mm] == 0.0)
                    break;
            }
            if (mm == l)
                break;
            double g = (d[l + 1] - d[l]) / (2.0 * e[l]);
            double r = std::hypot(g, 1.0);
            g = d[mm] - d[l] + e[l] / (g + std::copysign(r, g));
            double s = 1.0, c = 1.0, p = 0.0;
            int i = mm - 1;
            for (; i >= l; --i) {
                double f = s * e[i], b = c * e[i];
                r = std::hypot(f, g);
                e[i + 1] = r;
                if (r == 0.0) {
                    d[i + 1] -= p;
                    e[mm] = 0.0;
                    break;
                }
                s = f / r;
                c = g / r;
                g = d[i + 1] - p;
                r = (d[i] - g) * s + 2.0 * c * b;
                p = s * r;
                d[i + 1] = g + p;
                g = c * r - b;
                for (int k = 0; k < 3; ++k) {
                    f = q[k][i + 1];
                    q[k][i + 1] = s * q[k][i] + c * f;
                    q[k][i] = c * q[k][i] - s * f;
                }
            }
            if (r == 0.0 && i >= l)
                continue;
            d[l] -= p;
            e[l] = g;
            e[mm] = 0.0;
        }
    }

    double det = q[0][0] * (q[1][1] * q[2][2] - q[1][2] * q[2][1]) -
                 q[0][1] * (q[1][0] * q[2][2] - q[1][2] * q[2][0]) +
                 q[0][2] * (q[1][0] * q[2][1] - q[1][1] * q[2][0]);
    if (det < 0)
        for (auto& row : q)
            row[2] = -row[2];
    for (int i = 0; i < 3; ++i) {
        values[i] = F(d[i]);
        for (int j = 0; j < 3; ++j)
            vectors.m[i * 3 + j] = F(q[i][j]);
    }
}

void SgMat3::TransformPointsAndNormals(uint32_t count, const SgVec3* pointsIn, const SgVec3* normalsIn,
                                       SgVec3* pointsOut, SgVec3* normalsOut, const SgMat3& rotation,
                                       const SgVec3& translation) {
    for (uint32_t i = 0; i < count; ++i) {
        if (pointsIn && pointsOut)
            pointsOut[i] = rotation.TimesVec(pointsIn[i]) + translation;
        if (normalsIn && normalsOut)
            normalsOut[i] = rotation.TimesVec(normalsIn[i]);
    }
}

// ---- SgQuat ----

SgQuat SgQuat::Scale(float s) const { return {F(double(w) * s), F(double(x) * s), F(double(y) * s), F(double(z) * s)}; }

float SgQuat::Dot(const SgQuat& o) const {
    return F(double(w) * o.w + double(x) * o.x + double(y) * o.y + double(z) * o.z);
}

SgQuat SgQuat::Multiply(const SgQuat& b) const {
    const SgQuat& a = *this;
    return {F(double(a.w) * b.w - double(a.x) * b.x - double(a.y) * b.y - double(a.z) * b.z),
            F(double(a.w) * b.x + double(b.w) * a.x + double(a.y) * b.z - double(a.z) * b.y),
            F(double(a.w) * b.y + double(b.w) * a.y + double(a.z) * b.x - double(a.x) * b.z),
            F(double(a.w) * b.z + double(b.w) * a.z + double(a.x) * b.y - double(a.y) * b.x)};
}

SgQuat SgQuat::Exp() const {
    double theta = std::sqrt(double(x) * x + double(y) * y + double(z) * z);
    double s = std::sin(theta);
    double f = std::fabs(s) < 0.001 ? 1.0 : s / theta;
    return {F(std::cos(theta)), F(x * f), F(y * f), F(z * f)};
}

SgQuat SgQuat::Log() const {
    double theta = ClampedAcos(w);
    double s = std::sin(theta);
    double f = std::fabs(s) < 0.001 ? 1.0 : theta / s;
    return {0.0f, F(x * f), F(y * f), F(z * f)};
}

SgQuat SgQuat::SlerpSpin(float t, const SgQuat& p, const SgQuat& q, int spins) {
    double d = p.Dot(q);
    double theta = ClampedAcos(d);
    double s = std::sin(theta);
    if (s < 0.001)
        return p;
    double phi = double(spins) * t * SgPi;
    double a = std::sin((1.0 - t) * theta - phi) / s, b = std::sin(t * theta + phi) / s;
    return {F(p.w * a + q.w * b), F(p.x * a + q.x * b), F(p.y * a + q.y * b), F(p.z * a + q.z * b)};
}

SgQuat SgQuat::Slerp(float t, const SgQuat& p, const SgQuat& q) { return SlerpSpin(t, p, q, 0); }

SgQuat SgQuat::SquadControl(const SgQuat& previous, const SgQuat& current, const SgQuat& next) {
    SgQuat inverse = current.Conjugate();
    SgQuat l1 = inverse.Multiply(next).Log();
    SgQuat l2 = inverse.Multiply(previous).Log();
    return current.Multiply(l1.Add(l2).Scale(-0.25f).Exp());
}

SgQuat SgQuat::Squad(float t, const SgQuat& p, const SgQuat& a, const SgQuat& b, const SgQuat& q) {
    return Slerp(2.0f * t * (1.0f - t), Slerp(t, p, q), Slerp(t, a, b));
}

SgQuat SgQuat::SquadSpin(float t, const SgQuat& p, const SgQuat& a, const SgQuat& b, const SgQuat& q, int spins) {
    return Slerp(2.0f * t * (1.0f - t), SlerpSpin(t, p, q, spins), SlerpSpin(t, a, b, spins));
}

SgQuat SgQuat::FromAngleAxis(float angle, const SgVec3& axis) {
    double half = angle * 0.5;
    double s = std::sin(half);
    return {F(std::cos(half)), F(axis.x * s), F(axis.y * s), F(axis.z * s)};
}

void SgQuat::ToAngleAxis(float& angle, SgVec3& axis) const {
    double length = std::sqrt(double(x) * x + double(y) * y + double(z) * z);
    if (length < 0.001) {
        angle = 0.0f;
        axis = SgVec3();
        return;
    }
    angle = F(2.0 * ClampedAcos(w));
    axis = {F(x / length), F(y / length), F(z / length)};
}

void SgQuat::ToRotation(SgMat3& r) const {
    double xx = double(x) * x, yy = double(y) * y, zz = double(z) * z;
    double xy = double(x) * y, xz = double(x) * z, yz = double(y) * z;
    double wx = double(w) * x, wy = double(w) * y, wz = double(w) * z;
    r.m[0] = F(1 - 2 * (yy + zz));
    r.m[1] = F(2 * (xy - wz));
    r.m[2] = F(2 * (xz + wy));
    r.m[3] = F(2 * (xy + wz));
    r.m[4] = F(1 - 2 * (xx + zz));
    r.m[5] = F(2 * (yz - wx));
    r.m[6] = F(2 * (xz - wy));
    r.m[7] = F(2 * (yz + wx));
    r.m[8] = F(1 - 2 * (xx + yy));
}

// ---- Stream forms ----

void SgVec3::LoadFromStream(SgSceneStream& s) {
    x = s.ReadF32();
    y = s.ReadF32();
    z = s.ReadF32();
}

void SgVec3::SaveToStream(SgSceneStream& s) const {
    s.WriteF32(x);
    s.WriteF32(y);
    s.WriteF32(z);
}

void SgMat3::LoadFromStream(SgSceneStream& s) {
    for (float& v : m)
        v = s.ReadF32();
}

void SgMat3::SaveToStream(SgSceneStream& s) const {
    for (float v : m)
        s.WriteF32(v);
}

void SgQuat::LoadFromStream(SgSceneStream& s) {
    w = s.ReadF32();
    x = s.ReadF32();
    y = s.ReadF32();
    z = s.ReadF32();
}

void SgQuat::SaveToStream(SgSceneStream& s) const {
    s.WriteF32(w);
    s.WriteF32(x);
    s.WriteF32(y);
    s.WriteF32(z);
}

void SgPlaneEq::LoadFromStream(SgSceneStream& s) {
    normal.LoadFromStream(s);
    constant = s.ReadF32();
}

void SgPlaneEq::SaveToStream(SgSceneStream& s) const {
    normal.SaveToStream(s);
    s.WriteF32(constant);
}

void SgRgb::LoadFromStream(SgSceneStream& s) {
    r = s.ReadF32();
    g = s.ReadF32();
    b = s.ReadF32();
}

void SgRgb::SaveToStream(SgSceneStream& s) const {
    s.WriteF32(r);
    s.WriteF32(g);
    s.WriteF32(b);
}

void SgRgba::LoadFromStream(SgSceneStream& s) {
    r = s.ReadF32();
    g = s.ReadF32();
    b = s.ReadF32();
    a = s.ReadF32();
}

void SgRgba::SaveToStream(SgSceneStream& s) const {
    s.WriteF32(r);
    s.WriteF32(g);
    s.WriteF32(b);
    s.WriteF32(a);
}
