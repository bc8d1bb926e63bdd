// Writes the bundled 257 x 257 terrain: rolling noise, a ridge, hills and a valley.
// Only +, -, * and / on doubles are used, so every build writes the same bytes.
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

const int kSize = 257;
const uint32_t kSeed = 0x6d69726fu;

// Smoothstep, a polynomial, for the noise interpolation.
double fade(double t) { return t * t * (3.0 - 2.0 * t); }

// A reproducible value in [0, 1] for lattice point (i, j) of one octave.
double lattice(int i, int j, uint32_t octave) {
    uint32_t h = kSeed ^ (octave * 0x9e3779b9u);
    h ^= static_cast<uint32_t>(i) * 0x85ebca6bu;
    h = (h << 13) | (h >> 19);
    h ^= static_cast<uint32_t>(j) * 0xc2b2ae35u;
    h ^= h >> 16;
    h *= 0x7feb352du;
    h ^= h >> 15;
    h *= 0x846ca68bu;
    h ^= h >> 16;
    return static_cast<double>(h & 0xffffu) / 65535.0;
}

// Value noise at (u, v) on a lattice of the given cell count.
double valueNoise(double u, double v, int cells, uint32_t octave) {
    const double x = u * cells;
    const double y = v * cells;
    const int i = static_cast<int>(x);
    const int j = static_cast<int>(y);
    const double fx = fade(x - i);
    const double fy = fade(y - j);
    const double top = lattice(i, j, octave) * (1.0 - fx) + lattice(i + 1, j, octave) * fx;
    const double bottom = lattice(i, j + 1, octave) * (1.0 - fx) + lattice(i + 1, j + 1, octave) * fx;
    return top * (1.0 - fy) + bottom * fy;
}

// A smooth round bump of height 1 at (cu, cv), falling to 0 at the given radius.
double bump(double u, double v, double cu, double cv, double radius) {
    const double d2 = ((u - cu) * (u - cu) + (v - cv) * (v - cv)) / (radius * radius);
    return d2 < 1.0 ? (1.0 - d2) * (1.0 - d2) : 0.0;
}

// A long ridge along the line from (0.1, 0.8) to (0.9, 0.3), highest in its middle.
double ridge(double u, double v) {
    const double du = 0.8;
    const double dv = -0.5;
    const double length2 = du * du + dv * dv;
    double t = ((u - 0.1) * du + (v - 0.8) * dv) / length2;
    t = t < 0.0 ? 0.0 : (t > 1.0 ? 1.0 : t);
    const double along = 4.0 * t * (1.0 - t);
    return along * bump(u, v, 0.1 + t * du, 0.8 + t * dv, 0.12);
}

double elevation(double u, double v) {
    double h = 0.0;
    h += 0.30 * valueNoise(u, v, 4, 1);
    h += 0.15 * valueNoise(u, v, 9, 2);
    h += 0.06 * valueNoise(u, v, 23, 3);
    h += 0.70 * ridge(u, v);
    h += 0.45 * bump(u, v, 0.25, 0.25, 0.22);
    h += 0.35 * bump(u, v, 0.72, 0.70, 0.18);
    h -= 0.40 * bump(u, v, 0.55, 0.50, 0.20);
    h -= 0.25 * bump(u, v, 0.15, 0.45, 0.12);
    return h;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT\n", argv[0]);
        return 2;
    }

    std::vector<double> heights(kSize * kSize);
    double low = 1e9;
    double high = -1e9;
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            const double h = elevation(x / (kSize - 1.0), y / (kSize - 1.0));
            heights[y * kSize + x] = h;
            low = h < low ? h : low;
            high = h > high ? h : high;
        }
    }

    // Stretch onto the whole byte range, lowest sample 0 and highest 255.
    std::vector<uint8_t> bytes(heights.size());
    for (size_t k = 0; k < heights.size(); ++k) {
        bytes[k] = static_cast<uint8_t>((heights[k] - low) / (high - low) * 255.0 + 0.5);
    }

    FILE* out = std::fopen(argv[1], "wb");
    if (out == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    if (std::fclose(out) != 0 || !written) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
