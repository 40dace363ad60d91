// Tests of the windowpng command as a person runs it: the pictures of dialogs whose texts hold
// characters beyond ASCII show those characters' glyphs, pixel for pixel as the font file has
// them (looked up here on their own), and a message type that does not exist is refused.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <png.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern char** environ;

namespace {

char const kUnifontPath[] = "/usr/share/unifont/unifont.hex";

struct stcRun {
  int m_intExit = -1;
  std::string m_strErr;
};

std::string ReadFile(std::string const& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct stcPicture {
  int m_intWidth = 0, m_intHeight = 0;
  std::vector<uint8_t> m_vecRGB;
  bool Black(int x, int y) const {
    size_t const at = (size_t(y) * size_t(m_intWidth) + size_t(x)) * 3;
    return m_vecRGB[at] == 0 && m_vecRGB[at + 1] == 0 && m_vecRGB[at + 2] == 0;
  }
};

// The font file's glyph of a character, as rows of pixels: true where the glyph is inked.
std::vector<std::vector<bool>> FontFileGlyph(char const* code) {
  std::ifstream in(kUnifontPath);
  std::string line;
  std::string const prefix = std::string(code) + ":";
  while (std::getline(in, line)) {
    if (line.compare(0, prefix.size(), prefix) != 0) continue;
    std::string const hex = line.substr(prefix.size());
    size_t const digitsPerRow = hex.size() / 16;
    std::vector<std::vector<bool>> rows(16);
    for (size_t r = 0; r < 16; ++r) {
      unsigned long const bits = std::stoul(hex.substr(r * digitsPerRow, digitsPerRow), nullptr, 16);
      for (size_t b = 0; b < digitsPerRow * 4; ++b) rows[r].push_back(((bits >> (digitsPerRow * 4 - 1 - b)) & 1) != 0);
    }
    return rows;
  }
  return {};
}

// Whether the picture holds the glyph somewhere: black exactly where the glyph is inked.
bool HoldsGlyph(stcPicture const& picture, std::vector<std::vector<bool>> const& glyph) {
  int const w = int(glyph[0].size());
  for (int y = 0; y + 16 <= picture.m_intHeight; ++y) {
    for (int x = 0; x + w <= picture.m_intWidth; ++x) {
      bool same = true;
      for (int r = 0; r < 16 && same; ++r) {
        for (int b = 0; b < w && same; ++b) same = picture.Black(x + b, y + r) == glyph[size_t(r)][size_t(b)];
      }
      if (same) return true;
    }
  }
  return false;
}

class WindowPNGTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/velmora-windowpng-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(pattern));
    m_strDir = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(m_strDir, ignored);
  }

  // Runs windowpng with the arguments, bounded in time.
  stcRun Run(std::vector<std::string> args) {
    args.insert(args.begin(), {"/usr/bin/timeout", "60", VELMORA_WINDOWPNG_PROGRAM});
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(&arg[0]);
    argv.push_back(nullptr);
    std::string const err = m_strDir + "/stderr";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    stcRun run;
    pid_t pid = 0;
    int const spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (spawned == 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status)) run.m_intExit = WEXITSTATUS(status);
    run.m_strErr = ReadFile(err);
    return run;
  }

  // Draws a message dialog of type 0 with the text into name.png; the picture's path.
  std::string DrawMessage(std::string const& name, std::string const& text) {
    std::string const path = m_strDir + "/" + name + ".png";
    stcRun const run = Run({path, "message", text, "0"});
    EXPECT_EQ(0, run.m_intExit) << text << ": " << run.m_strErr;
    return path;
  }

  static stcPicture ReadPNG(std::string const& path) {
    stcPicture picture;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return picture;
    image.format = PNG_FORMAT_RGB;
    picture.m_vecRGB.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, picture.m_vecRGB.data(), 0, nullptr)) return stcPicture();
    picture.m_intWidth = int(image.width);
    picture.m_intHeight = int(image.height);
    return picture;
  }

  std::string m_strDir;
};

TEST_F(WindowPNGTest, CharactersBeyondAsciiAreNotQuestionMarks) {
  std::string const german = ReadFile(DrawMessage("german", "Grüße aus Köln"));
  std::string const marks = ReadFile(DrawMessage("marks", "Gr??e aus K?ln"));
  ASSERT_FALSE(german.empty());
  ASSERT_FALSE(marks.empty());
  EXPECT_TRUE(german != marks) << "the two pictures are byte for byte the same";
}

TEST_F(WindowPNGTest, TextsAreDrawnWithTheFontFilesGlyphs) {
  ASSERT_TRUE(std::filesystem::exists(kUnifontPath)) << kUnifontPath << " (Debian's unifont) is missing";
  struct stcCase {
    char const* text;
    std::vector<char const*> codes;  // of characters of the text, as the font file writes them
  } const cases[] = {
      {"Grüße aus Köln", {"00FC", "00DF", "00F6"}},
      {"Жук и 中文", {"0416", "4E2D"}},  // a narrow and a wide glyph
      // wide glyphs to the end: the window is laid out as wide as they are drawn
      {"中文 Привет мир — 日本語のテキスト", {"30C8"}},
      // and wrapped where the layout wraps them (25 a line at 400 pixels), none past the edge
      {"お名前とメールアドレスを入力してください。送信の前に、"
       "アドレスが正しいかどうかをもう一度確認してください。",
       {"78BA"}},
  };
  int n = 0;
  for (stcCase const& c : cases) {
    stcPicture const picture = ReadPNG(DrawMessage("case" + std::to_string(n++), c.text));
    ASSERT_GT(picture.m_intWidth, 0) << c.text;
    for (char const* code : c.codes) {
      std::vector<std::vector<bool>> const glyph = FontFileGlyph(code);
      ASSERT_FALSE(glyph.empty()) << code;
      EXPECT_TRUE(HoldsGlyph(picture, glyph)) << c.text << ": no glyph of U+" << code;
    }
  }
}

TEST_F(WindowPNGTest, MessageTypesBeyondZeroToSevenAreRefused) {
  for (char const* type : {"8", "-1", "five"}) {
    std::string const path = m_strDir + "/refused.png";
    stcRun const run = Run({path, "message", "Hello", type});
    EXPECT_NE(0, run.m_intExit) << type;
    EXPECT_NE(std::string::npos, run.m_strErr.find("the message types are 0 to 7")) << type << ": " << run.m_strErr;
    EXPECT_FALSE(std::filesystem::exists(path)) << type;
  }
}

}  // namespace
