// Files written by the netpbm tools decode to the samples those tools report.
#include "JasperTestUtil.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

class NetpbmAgreement : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (std::system("command -v pnmtoplainpnm pnmtorast pnmdepth rasttopnm >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "netpbm tools not installed";
        char tmpl[] = "/tmp/rkjasper-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        // 20 x 15 pixels of distinct colours (more than 256, so that Sun raster files stay 24-bit).
        std::string ppm = "P6\n20 15\n255\n";
        for (int y = 0; y < 15; ++y)
            for (int x = 0; x < 20; ++x) ppm += bytes({x * 12 + 7, y * 17 + 3, (x * 31 + y * 57) & 0xFF});
        write("in.ppm", ppm);
    }
    void TearDown() override
    {
        if (!dir_.empty()) std::system(("rm -rf '" + dir_ + "'").c_str());
    }

    void write(const std::string &name, const std::string &data)
    {
        std::ofstream(dir_ + "/" + name, std::ios::binary) << data;
    }
    std::string read(const std::string &name)
    {
        std::ifstream in(dir_ + "/" + name, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    // Runs a shell command in the temporary folder.
    void run(const std::string &cmd)
    {
        ASSERT_EQ(std::system(("cd '" + dir_ + "' && " + cmd + " 2>/dev/null").c_str()), 0) << cmd;
    }

    // The samples of a plain file as netpbm writes it (no comments), interleaved by pixel.
    static std::vector<long> plainSamples(const std::string &text, int &w, int &h, int &channels)
    {
        std::istringstream in(text);
        std::string magic;
        long maxval = 1;
        in >> magic >> w >> h;
        if (magic != "P1") in >> maxval;
        channels = magic == "P3" ? 3 : 1;
        std::vector<long> out;
        if (magic == "P1") {
            char c;
            while (in >> c) out.push_back(c == '0' ? 1 : 0);  // decoded bitmaps hold 1 for white
        } else {
            long v;
            while (in >> v) out.push_back(v);
        }
        return out;
    }

    // Interleaves the components of a decoded image by pixel.
    static std::vector<long> interleaved(jas_image_t *img)
    {
        const int n = jas_image_numcmpts(img);
        std::vector<std::vector<long>> planes;
        for (int c = 0; c < n; ++c) planes.push_back(samplesOf(img, c));
        std::vector<long> out;
        for (size_t i = 0; i < planes[0].size(); ++i)
            for (int c = 0; c < n; ++c) out.push_back(planes[size_t(c)][i]);
        return out;
    }

    void expectAgree(const std::string &rawName, const std::string &plainName, const char *format = "pnm")
    {
        int w = 0, h = 0, channels = 0;
        const std::vector<long> expected = plainSamples(read(plainName), w, h, channels);
        ImagePtr img = decodeBytes(read(rawName), format);
        ASSERT_TRUE(img) << rawName;
        ASSERT_EQ(jas_image_numcmpts(img.get()), channels) << rawName;
        EXPECT_EQ(jas_image_cmptwidth(img.get(), 0), w);
        EXPECT_EQ(jas_image_cmptheight(img.get(), 0), h);
        EXPECT_EQ(interleaved(img.get()), expected) << rawName;
    }

    std::string dir_;
};

}  // namespace

TEST_F(NetpbmAgreement, RawAndPlainPixmapsAtSeveralDepths)
{
    for (const char *maxval : {"255", "15", "100", "1000", "65535"}) {
        const std::string m = maxval;
        run("pnmdepth " + m + " in.ppm > d" + m + ".ppm && pnmtoplainpnm d" + m + ".ppm > p" + m + ".ppm");
        expectAgree("d" + m + ".ppm", "p" + m + ".ppm");
        expectAgree("p" + m + ".ppm", "p" + m + ".ppm");
    }
}

TEST_F(NetpbmAgreement, GreyMapsAndBitmaps)
{
    run("ppmtopgm in.ppm > g.pgm && pnmtoplainpnm g.pgm > gp.pgm");
    expectAgree("g.pgm", "gp.pgm");
    expectAgree("gp.pgm", "gp.pgm");
    run("pnmdepth 4000 g.pgm > g16.pgm && pnmtoplainpnm g16.pgm > g16p.pgm");
    expectAgree("g16.pgm", "g16p.pgm");
    run("pgmtopbm -threshold g.pgm > b.pbm && pnmtoplainpnm b.pbm > bp.pbm");
    expectAgree("b.pbm", "bp.pbm");
    expectAgree("bp.pbm", "bp.pbm");
}

TEST_F(NetpbmAgreement, SunRasterFilesOfTwentyFourBits)
{
    run("pnmtorast -standard in.ppm > s.ras && rasttopnm s.ras | pnmtoplainpnm > sp.ppm");
    const std::string ras = read("s.ras");
    ASSERT_GE(ras.size(), 16u);
    EXPECT_EQ(ras[15], 24);  // the depth field
    expectAgree("s.ras", "sp.ppm", "ras");

}

TEST_F(NetpbmAgreement, SunRasterFilesWithAColourMap)
{
    // Two colours: netpbm writes 8-bit indexes behind a colour map, compressed on request.
    write("two.ppm", "P6\n4 2\n255\n" + bytes({255, 0, 0, 0, 0, 255, 255, 0, 0, 0, 0, 255,
                                                0, 0, 255, 0, 0, 255, 255, 0, 0, 255, 0, 0}));
    run("pnmtorast -standard two.ppm > m.ras && pnmtorast -rle two.ppm > r.ras");
    ImagePtr mapped = decodeBytes(read("m.ras"), "ras");
    ASSERT_TRUE(mapped);
    ASSERT_EQ(jas_image_numcmpts(mapped.get()), 1);
    const std::vector<long> idx = samplesOf(mapped.get(), 0);
    ASSERT_EQ(idx.size(), 8u);
    EXPECT_NE(idx[0], idx[1]);
    EXPECT_EQ(idx[0], idx[2]);
    EXPECT_EQ(idx[1], idx[4]);
    EXPECT_EQ(idx[0], idx[6]);

    const std::string rle = read("r.ras");
    ASSERT_GE(rle.size(), 24u);
    EXPECT_EQ(rle[23], 2);  // the type field: run-length encoded
    EXPECT_FALSE(decodeBytes(rle, "ras"));
}
