#pragma once
// The engine's small value types: vectors, 3x3 rotation matrices (row-major, applied as M x p),
// quaternions (w first), planes and colours. All hold 32-bit floats; products are formed in double
// precision and stored back as floats.

#include <cmath>
#include <cstdint>

class SgSceneStream;

struct SgVec3 {
    float x = 0.0f, y = 0.0f, z = 0.0f;

    constexpr SgVec3() = default;
    constexpr SgVec3(float vx, float vy, float vz) : x(vx), y(vy), z(vz) {}

    // Inline: the per-vertex and per-particle loops call these for every element.
    float SquaredLength() const { return float(double(x) * x + double(y) * y + double(z) * z); }
    float Length() const { return float(std::sqrt(double(x) * x + double(y) * y + double(z) * z)); }
    float Dot(const SgVec3& o) const { return float(double(x) * o.x + double(y) * o.y + double(z) * o.z); }
    SgVec3 Cross(const SgVec3& o) const;
    // Divides by the length and returns it; a length of at most 1e-6 gives the zero vector and 0.
    float Normalize();
    // Normalises each vector with a table square root (7 mantissa bits; within 0.4%).
    static void NormalizeArrayFast(SgVec3* vectors, uint32_t count);
    // 1 / the table square root of a squared length (0 for 0): what NormalizeArrayFast scales by.
    static float TableUnitFactor(float squaredLength);

    SgVec3 Negate() const { return {-x, -y, -z}; }
    SgVec3 Scale(float s) const { return {float(double(x) * s), float(double(y) * s), float(double(z) * s)}; }
    SgVec3 Add(const SgVec3& o) const { return {x + o.x, y + o.y, z + o.z}; }
    SgVec3 Subtract(const SgVec3& o) const { return {x - o.x, y - o.y, z - o.z}; }
    void AddTo(const SgVec3& o) { *this = Add(o); }
    void DivideBy(float s) { *this = Scale(1.0f / s); }
    bool IsEqualTo(const SgVec3& o) const { return x == o.x && y == o.y && z == o.z; }

    SgVec3 operator+(const SgVec3& o) const { return Add(o); }
    SgVec3 operator-(const SgVec3& o) const { return Subtract(o); }
    SgVec3 operator-() const { return Negate(); }
    SgVec3 operator*(float s) const { return Scale(s); }
    bool operator==(const SgVec3& o) const { return IsEqualTo(o); }

    void LoadFromStream(SgSceneStream& stream);
    void SaveToStream(SgSceneStream& stream) const;
};

inline SgVec3 MakeVec3(float x, float y, float z) { return {x, y, z}; }
inline void CopyVec3(SgVec3& to, const SgVec3& from) { to = from; }

struct SgMat3 {
    float m[9] = {};

    // kind 0 zero, 1 identity, 2 diagonal (p1, p2, p3), 3/4/5 about X/Y/Z by angle p1, 6 about the
    // axis (p2, p3, p4) (not normalised) by angle p1; any other kind the zero matrix.
    void MakeRotation(int kind, double p1 = 0, double p2 = 0, double p3 = 0, double p4 = 0);
    static SgMat3 Rotation(int kind, double p1 = 0, double p2 = 0, double p3 = 0, double p4 = 0);

    // M x p: component i is row i . p.
    SgVec3 TimesVec(const SgVec3& p) const {
        return {float(double(m[0]) * p.x + double(m[1]) * p.y + double(m[2]) * p.z),
                float(double(m[3]) * p.x + double(m[4]) * p.y + double(m[5]) * p.z),
                float(double(m[6]) * p.x + double(m[7]) * p.y + double(m[8]) * p.z)};
    }
    SgVec3 operator*(const SgVec3& p) const { return TimesVec(p); }
    SgMat3 Transpose() const;
    bool IsEqualTo(const SgMat3& o) const;
    bool operator==(const SgMat3& o) const { return IsEqualTo(o); }

    // out receives the adjugate; false when |det| <= 1e-6 or det is not a number, else out is
    // scaled into the inverse.
    bool Invert(SgMat3& out) const;
    // The inverse, or the zero matrix.
    SgMat3 Inverse() const;
    void ToAngleAxis(float& angle, float& x, float& y, float& z) const;
    // Eigenvalues and eigenvectors (the columns of vectors, a right-handed frame) of a symmetric
    // matrix.
    void EigenSolve(float values[3], SgMat3& vectors) const;

    static void TransformPointsAndNormals(uint32_t count, const SgVec3* pointsIn, const SgVec3* normalsIn,
                                          SgVec3* pointsOut, SgVec3* normalsOut, const SgMat3& rotation,
                                          const SgVec3& translation);

    void LoadFromStream(SgSceneStream& stream);
    void SaveToStream(SgSceneStream& stream) const;
};

// A x B, rows by columns.
SgMat3 MultiplyMat3(const SgMat3& a, const SgMat3& b);
inline SgMat3 operator*(const SgMat3& a, const SgMat3& b) { return MultiplyMat3(a, b); }
inline void CopyMat3(SgMat3& to, const SgMat3& from) { to = from; }

struct SgQuat {
    float w = 1.0f, x = 0.0f, y = 0.0f, z = 0.0f;

    constexpr SgQuat() = default;
    constexpr SgQuat(float qw, float qx, float qy, float qz) : w(qw), x(qx), y(qy), z(qz) {}

    void CopyFrom(const SgQuat& o) { *this = o; }
    SgQuat Add(const SgQuat& o) const { return {w + o.w, x + o.x, y + o.y, z + o.z}; }
    SgQuat Subtract(const SgQuat& o) const { return {w - o.w, x - o.x, y - o.y, z - o.z}; }
    SgQuat Negate() const { return {-w, -x, -y, -z}; }
    SgQuat Scale(float s) const;
    float Dot(const SgQuat& o) const;
    SgQuat Conjugate() const { return {w, -x, -y, -z}; }
    // The Hamilton product this x b.
    SgQuat Multiply(const SgQuat& b) const;
    SgQuat Exp() const;
    SgQuat Log() const;
    bool IsEqualTo(const SgQuat& o) const { return w == o.w && x == o.x && y == o.y && z == o.z; }
    bool operator==(const SgQuat& o) const { return IsEqualTo(o); }

    // No sign flip for opposite hemispheres: callers prepare neighbouring keys.
    static SgQuat Slerp(float t, const SgQuat& p, const SgQuat& q);
    static SgQuat SlerpSpin(float t, const SgQuat& p, const SgQuat& q, int spins);
    static SgQuat SquadControl(const SgQuat& previous, const SgQuat& current, const SgQuat& next);
    static SgQuat Squad(float t, const SgQuat& p, const SgQuat& a, const SgQuat& b, const SgQuat& q);
    static SgQuat SquadSpin(float t, const SgQuat& p, const SgQuat& a, const SgQuat& b, const SgQuat& q,
                            int spins);

    static SgQuat FromAngleAxis(float angle, const SgVec3& axis);
    void ToAngleAxis(float& angle, SgVec3& axis) const;
    void ToRotation(SgMat3& out) const;

    void LoadFromStream(SgSceneStream& stream);
    void SaveToStream(SgSceneStream& stream) const;
};

struct SgPlaneEq {
    SgVec3 normal;
    float constant = 0.0f;

    constexpr SgPlaneEq() = default;
    constexpr SgPlaneEq(const SgVec3& n, float c) : normal(n), constant(c) {}
    // The plane with this normal through the point.
    SgPlaneEq(const SgVec3& n, const SgVec3& point) : normal(n), constant(n.Dot(point)) {}

    // normal . p - constant: positive in front.
    float Distance(const SgVec3& p) const { return normal.Dot(p) - constant; }
    bool IsEqualTo(const SgPlaneEq& o) const { return normal.IsEqualTo(o.normal) && constant == o.constant; }

    void LoadFromStream(SgSceneStream& stream);
    void SaveToStream(SgSceneStream& stream) const;
};

struct SgRgb {
    float r = 0.0f, g = 0.0f, b = 0.0f;
    constexpr SgRgb() = default;
    constexpr SgRgb(float cr, float cg, float cb) : r(cr), g(cg), b(cb) {}
    bool IsEqualTo(const SgRgb& o) const { return r == o.r && g == o.g && b == o.b; }
    bool operator==(const SgRgb& o) const { return IsEqualTo(o); }
    void LoadFromStream(SgSceneStream& stream);
    void SaveToStream(SgSceneStream& stream) const;
};

struct SgRgba {
    float r = 0.0f, g = 0.0f, b = 0.0f, a = 0.0f;
    constexpr SgRgba() = default;
    constexpr SgRgba(float cr, float cg, float cb, float ca) : r(cr), g(cg), b(cb), a(ca) {}
    bool IsEqualTo(const SgRgba& o) const { return r == o.r && g == o.g && b == o.b && a == o.a; }
    bool operator==(const SgRgba& o) const { return IsEqualTo(o); }
    void LoadFromStream(SgSceneStream& stream);
    void SaveToStream(SgSceneStream& stream) const;
};

// Process-wide constants. pi is 4 atan(1) rounded to a float.
inline constexpr float SgPi = 3.14159265358979323846f;
inline constexpr float SgHalfPi = SgPi * 0.5f;
inline constexpr float SgTwoPi = SgPi + SgPi;
inline constexpr SgVec3 SgZeroVec3{0.0f, 0.0f, 0.0f};
inline constexpr SgVec3 SgAxisX{1.0f, 0.0f, 0.0f};
inline constexpr SgVec3 SgAxisY{0.0f, 1.0f, 0.0f};
inline constexpr SgVec3 SgAxisZ{0.0f, 0.0f, 1.0f};
inline constexpr SgVec3 SgUnitVec3{1.0f, 1.0f, 1.0f};
inline constexpr SgQuat SgIdentityQuat{1.0f, 0.0f, 0.0f, 0.0f};
inline constexpr SgRgba SgWhite{1.0f, 1.0f, 1.0f, 1.0f};
inline constexpr SgRgba SgBlack{0.0f, 0.0f, 0.0f, 1.0f};
inline constexpr SgMat3 SgIdentityMat3{{1, 0, 0, 0, 1, 0, 0, 0, 1}};
inline constexpr SgMat3 SgZeroMat3{};
