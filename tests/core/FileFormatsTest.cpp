// FileIO's big-endian values and the hemicube file with its
// mirroring.

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "FileIO.h"
#include "Hemicube.h"
#include "HemicubeFile.h"

namespace {

// A temporary binary stream, closed (and so removed) at the end of the test.
struct TempStream {
    std::FILE* f = std::tmpfile();
    ~TempStream() {
        if (f) std::fclose(f);
    }
    std::vector<unsigned char> bytes() {
        std::fflush(f);
        std::rewind(f);
        std::vector<unsigned char> b;
        int c;
        while ((c = std::fgetc(f)) != EOF) b.push_back(static_cast<unsigned char>(c));
        return b;
    }
    void put(const std::vector<unsigned char>& b) {
        std::fwrite(b.data(), 1, b.size(), f);
        std::rewind(f);
    }
};

using Bytes = std::vector<unsigned char>;

// A hemicube file: N, then the top quadrant and the side quadrant.
TempStream* hemicubeFile(int n, const std::vector<float>& top, const std::vector<float>& side) {
    auto* s = new TempStream;
    FileIO io;
    io.writeInt(s->f, n);
    for (float v : top) io.writeFloat(s->f, v);
    for (float v : side) io.writeFloat(s->f, v);
    std::rewind(s->f);
    return s;
}

}  // namespace

// Ints and IEEE floats as big-endian words, both ways; reading past the end
// clears `ok`. (A wrong guess of the host's order fails both directions.)
TEST(CoreFileIO, BigEndianBothWays) {
    const Bytes bytes = {0x00, 0x00, 0x00, 0x01, 0x3F, 0x80, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFE,
                         0x80, 0x00, 0x00, 0x00, 0x12, 0x34, 0x56, 0x78, 0xC0, 0x20, 0x00, 0x00};
    TempStream out;
    ASSERT_NE(out.f, nullptr);
    FileIO io;
    EXPECT_EQ(io.intSize, 4);
    EXPECT_EQ(io.floatSize, 4);
    io.writeInt(out.f, 1);
    io.writeFloat(out.f, 1.0f);
    io.writeInt(out.f, -2);
    io.writeInt(out.f, -2147483647 - 1);
    io.writeInt(out.f, 0x12345678);
    io.writeFloat(out.f, -2.5f);
    EXPECT_TRUE(io.ok);
    EXPECT_EQ(out.bytes(), bytes);

    TempStream in;
    ASSERT_NE(in.f, nullptr);
    in.put(bytes);
    EXPECT_EQ(io.readInt(in.f), 1);
    EXPECT_EQ(io.readFloat(in.f), 1.0f);
    EXPECT_EQ(io.readInt(in.f), -2);
    EXPECT_EQ(io.readInt(in.f), -2147483647 - 1);
    EXPECT_EQ(io.readInt(in.f), 0x12345678);
    EXPECT_EQ(io.readFloat(in.f), -2.5f);
    EXPECT_TRUE(io.ok);
    io.readInt(in.f);  // nothing left
    EXPECT_FALSE(io.ok);
}

// The file holds one quadrant of the top face and one of a side; the reader
// mirrors them into the whole top and the four equal sides. Bytes after the
// side quadrant are ignored.
TEST(CoreHemicube, MirrorsTheStoredQuadrants) {
    const float t00 = 0.01f, t01 = 0.02f, t10 = 0.03f, t11 = 0.04f;
    const float s00 = 0.05f, s01 = 0.06f, s10 = 0.07f, s11 = 0.08f;
    std::unique_ptr<TempStream> s(hemicubeFile(4, {t00, t01, t10, t11}, {s00, s01, s10, s11}));
    std::fseek(s->f, 0, SEEK_END);
    FileIO().writeFloat(s->f, 0.5f);
    std::rewind(s->f);
    Hemicube h(2.5f, readHemicubeFile(s->f, "four.hc"));
    EXPECT_EQ(h.worldWidth(), 2.5f);
    ASSERT_EQ(h.resolution(), 4);
    const std::vector<float> top = {t00, t01, t01, t00, t10, t11, t11, t10,
                                    t10, t11, t11, t10, t00, t01, t01, t00};
    const std::vector<float> side = {s00, s01, s01, s00, s10, s11, s11, s10};
    for (int p = 0; p < 16; ++p) EXPECT_EQ(h.deltaFormFactor(0, p), top[p]) << "top pixel " << p;
    for (int face = 1; face <= 4; ++face)
        for (int p = 0; p < 8; ++p) EXPECT_EQ(h.deltaFormFactor(face, p), side[p]) << face << " " << p;
    for (int r = 0; r < 4; ++r) EXPECT_EQ(h.rowOffset(r), 4 * r);
    EXPECT_EQ(h.faceTable(1), h.faceTable(4));  // one side array for the four sides
    EXPECT_EQ(h.deltaFormFactor(-1, 0), 0.0f);   // no face
}
