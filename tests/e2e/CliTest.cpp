// vela-modem as scripts use it: exit statuses, one-line reasons, files and standard output.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <vector>

#include "cli/Options.h"
#include "support/ModemCli.h"
#include "support/Vectors.h"

namespace vela {
namespace {

namespace fs = std::filesystem;

using test::CliResult;
using test::Modem;

int Lines(const std::string& s) {
  return static_cast<int>(std::count(s.begin(), s.end(), '\n'));
}

std::string Bytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

TEST(Cli, EncodeThenDecodeRoundTripsUtf8Text) {
  const std::string dir = test::ScratchDir("cli-roundtrip");
  const CliResult enc =
      Modem("encode --mode 31 --tail-frames 8 --secondary 'pa3xyz' --text 'Grüße 73 – é' -o " +
                dir + "/a.wav",
            dir);
  ASSERT_EQ(enc.status, 0) << enc.err;
  const CliResult dec =
      Modem("decode --mode VELA31 --secondary-out " + dir + "/sec.txt " + dir + "/a.wav", dir);
  ASSERT_EQ(dec.status, 0) << dec.err;
  EXPECT_NE(dec.out.find("Grüße 73 – é"), std::string::npos) << dec.out;
  std::ifstream sec(dir + "/sec.txt");
  std::string secondary;
  std::getline(sec, secondary, '\0');
  EXPECT_NE(secondary.find("PA3"), std::string::npos) << secondary;
}

// The README's first example: the text and nothing else, as an operator would expect.
TEST(Cli, TheFirstExamplePrintsExactlyTheText) {
  const std::string dir = test::ScratchDir("cli-first-example");
  ASSERT_EQ(Modem("encode --text \"CQ de G3XYZ k\" -o " + dir + "/cq.wav", dir).status, 0);
  const CliResult dec = Modem("decode " + dir + "/cq.wav", dir);
  EXPECT_EQ(dec.status, 0) << dec.err;
  EXPECT_EQ(dec.out, "CQ de G3XYZ k\n");
}

TEST(Cli, EncodeMatchesTheReferenceRecordingAndFramesAreReported) {
  const std::string dir = test::ScratchDir("cli-reference");
  const CliResult enc = Modem(
      "encode --mode vela125 --freq 1000 --secondary 'TEST ' --tail-frames 4 "
      "--text 'CQ CQ de TEST k' -o " +
          dir + "/ref.wav",
      dir);
  ASSERT_EQ(enc.status, 0) << enc.err;
  EXPECT_EQ(test::ReadVectorFile("example-vela125.wav"), Bytes(dir + "/ref.wav"));
  // The same to a pipe, which cannot go back to the header.
  EXPECT_EQ(test::ReadVectorFile("example-vela125.wav"),
            Modem("encode --mode vela125 --freq 1000 --secondary 'TEST ' --tail-frames 4 "
                  "--text 'CQ CQ de TEST k' -o /dev/stdout",
                  dir)
                .out);
  const CliResult dec = Modem("decode --mode vela125 --receiver standard --frames " +
                                  test::VectorPath("example-vela125-8k.wav"),
                              dir);
  ASSERT_EQ(dec.status, 0);
  EXPECT_EQ(dec.out, test::ReadVectorFile("example-vela125-8k.primary.txt") + "\n");
  EXPECT_NE(dec.err.find("frame 1 loc 44 peak 961 conf 100%"), std::string::npos) << dec.err;
}

TEST(Cli, BadEncodeUsageAndBadFilesWriteNothing) {
  const std::string dir = test::ScratchDir("cli-bad");
  const std::string out = dir + "/out.wav";
  struct Case {
    std::string args;
    int status;
  };
  const Case cases[] = {
      {"encode --mode vela64 --text hi -o " + out, 2},
      {"encode -o " + out, 2},
      {"encode --text hi --text-file x -o " + out, 2},
      {"encode --text hi", 2},
      {"encode --freq 0 --text hi -o " + out, 2},
      {"encode --freq 15001 --text hi -o " + out, 2},
      {"encode --freq abc --text hi -o " + out, 2},
      {"encode --tail-frames -1 --text hi -o " + out, 2},
      {"encode --text '' -o " + out, 2},
      {"encode --text-file " + dir + "/missing.txt -o " + out, 1},
      {"encode --text hi -o " + dir + "/no/such/dir/out.wav", 1},
      {"frobnicate", 2},
      {"decode", 2},
      {"decode " + dir + "/missing.wav", 1},
      {"decode --squelch 101 x.wav", 2},
      // Standard output that cannot take the copy.
      {"help >/dev/full", 1},
      {"decode " + test::VectorPath("example-vela125-8k.wav") + " >/dev/full", 1},
  };
  for (const Case& c : cases) {
    const CliResult r = Modem(c.args, dir);
    EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
    EXPECT_EQ(Lines(r.err), 1) << c.args << "\n" << r.err;
    EXPECT_EQ(r.err.rfind("vela-modem: ", 0), 0U) << r.err;
    EXPECT_FALSE(fs::exists(out)) << c.args;
    EXPECT_FALSE(fs::exists(out + ".partial")) << c.args;
  }
}

// Options as scripts type them: plain decimal numbers only, --opt=value wherever --opt value
// goes, -- before a file name that starts with '-'; anything else refused with the reason.
TEST(Cli, OptionsAreTakenStrictly) {
  const std::string dir = test::ScratchDir("cli-options");
  // A recording whose name starts with '-', in the folder the commands run in.
  const fs::path before = fs::current_path();
  fs::current_path(dir);
  ASSERT_EQ(Modem("encode --mode=125 --freq=1500 --tail-frames=4 --text='strict 73' -o=-a.wav", dir)
                .status,
            0);
  const std::string wav = "-a.wav";
  std::ofstream(dir + "/big.txt") << std::string(cli::kMaxTextFileBytes + 1, 'e');
  struct Case {
    std::string args;
    int status;
    std::string said;  // in the reason, or on standard output when the status is 0
  };
  const Case cases[] = {
      {"decode --mode=vela125 --freq=1500 -- " + wav, 0, "strict 73"},
      {"decode --mode 125 --freq +1500.0 --squelch=5 -- " + wav, 0, "strict 73"},
      {"decode --mode 125 --freq 1.5e3 -- " + wav, 0, "strict 73"},
      {"decode --mode 125 " + wav, 2, "unknown option -a.wav"},
      {"decode --freq 0x10 -- " + wav, 2, "--freq takes a decimal number, not \"0x10\""},
      {"decode --freq nan -- " + wav, 2, "not \"nan\""},
      {"decode --freq=-inf -- " + wav, 2, "not \"-inf\""},
      {"decode --freq ' 1500' -- " + wav, 2, "not \" 1500\""},
      {"decode --freq 15000 -- " + wav, 2, "--freq 15000 is beyond what 8000 samples"},
      {"decode --rate 1e9 -- " + wav, 2, "--rate must lie between 1000 and 192000, not 1e9"},
      {"decode --squelch 5.5 -- " + wav, 2, "--squelch takes a whole number"},
      {"decode --frames=yes -- " + wav, 2, "--frames takes no value"},
      {"encode --tail-frames 0x2 --text hi -o " + dir + "/o.wav", 2, "not \"0x2\""},
      {"encode --text-file /dev/urandom -o " + dir + "/o.wav", 1, "larger than 1 MiB"},
      {"encode --text-file " + dir + "/big.txt -o " + dir + "/o.wav", 1, "larger than 1 MiB"},
      {"encode --text-file " + dir + " -o " + dir + "/o.wav", 1, "is a folder"},
      {"decode " + dir, 1, "is a folder, not a recording"},
      {"sweep --snr nan:1:1", 2, "--snr takes FROM:TO:STEP"},
      {"sweep --snr 1:2:0x1", 2, "--snr takes FROM:TO:STEP"},
      {"channel --impulses inf -- " + wav + " " + dir + "/o.wav", 2, "--impulses takes"},
      {"channel --snr=nan -- " + wav + " " + dir + "/o.wav", 2, "--snr takes a decimal"},
      {"scan --from 0x10 -- " + wav, 2, "--from takes a decimal"},
      // A card that does not exist never falls back to the default one.
      {"send --device 99 --text hi", 1, "there is no sound device 99"},
      {"listen --device 99", 1, "99"},
  };
  for (const Case& c : cases) {
    CliResult r = Modem(c.args, dir);
    // Under the leak checker, a sound plugin the machine's ALSA set-up loads and unloads again
    // can leave a report with no frame of ours (only "<unknown module>"); it is not ours.
    if (const auto at = r.err.find("\n=====");
        at != std::string::npos && r.err.find("(<unknown module>)", at) != std::string::npos &&
        r.err.find("vela::", at) == std::string::npos)
      r.err.erase(at);
    EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
    if (c.status == 0) {
      EXPECT_NE(r.out.find(c.said), std::string::npos) << c.args << "\n" << r.out;
    } else {
      EXPECT_EQ(Lines(r.err), 1) << c.args << "\n" << r.err;
      EXPECT_NE(r.err.find(c.said), std::string::npos) << c.args << "\n" << r.err;
    }
    EXPECT_FALSE(fs::exists(dir + "/o.wav")) << c.args;
  }
  fs::current_path(before);
}

// A station that sends terminal controls (a new window title, a cleared screen) shows them
// by name in the copy; nothing reaches the operator's terminal raw.
TEST(Cli, ControlCharactersFromTheAirShowByName) {
  const std::string dir = test::ScratchDir("cli-controls");
  const std::pair<std::string, std::string> cases[] = {
      {"\x1b]0;owned\x07", "<ESC>]0;owned<BEL>"},
      {"\x1b[2J\x1b[H", "<ESC>[2J<ESC>[H"},
      {"a\x7f\x0c\x01"
       "b",
       "a<DEL><FF><SOH>b"},
      {"\xc2\x9d"
       "8;;x\x1b\\",
       "<9D>8;;x<ESC>\\"},  // the C1 string introducer
      {"tab\there", "tab\there"},
  };
  for (const auto& [sent, shown] : cases) {
    const std::string wav = dir + "/c.wav";
    std::ofstream(dir + "/text.txt") << "de G3XYZ " << sent << " k\n";
    ASSERT_EQ(
        Modem("encode --mode 125 --tail-frames 6 --text-file " + dir + "/text.txt -o " + wav, dir)
            .status,
        0);
    for (const std::string command : {"decode --mode 125 ", "scan --mode 125 "}) {
      const CliResult r = Modem(command + wav, dir);
      EXPECT_EQ(r.status, 0) << command << r.err;
      EXPECT_NE(r.out.find(shown), std::string::npos) << command << shown << "\n" << r.out;
      for (const char raw : {'\x1b', '\x07', '\x7f', '\x0c', '\x01'}) {
        EXPECT_EQ(r.out.find(raw), std::string::npos) << command << int{raw} << "\n" << r.out;
      }
      EXPECT_EQ(r.out.find("\xc2\x9d"), std::string::npos) << command << r.out;
    }
  }
}

void WriteSound(const std::string& path, int rate, int channels, int format,
                const std::vector<float>& interleaved) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format = format;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
  sf_writef_float(f, interleaved.data(), static_cast<sf_count_t>(interleaved.size()) / channels);
  sf_close(f);
}

TEST(Cli, DecodeSurvivesOddAndHostileFiles) {
  const std::string dir = test::ScratchDir("cli-odd");
  // A real VELA63 signal in odd containers must still decode.
  ASSERT_EQ(Modem("encode --text 'odd file test' -o " + dir + "/ref.wav", dir).status, 0);
  std::vector<float> ref;
  {
    SF_INFO info{};
    SNDFILE* f = sf_open((dir + "/ref.wav").c_str(), SFM_READ, &info);
    ASSERT_NE(f, nullptr);
    std::vector<float> stereo(static_cast<size_t>(info.frames) * 2);
    sf_readf_float(f, stereo.data(), info.frames);
    sf_close(f);
    for (size_t i = 0; i < stereo.size(); i += 2) ref.push_back(stereo[i]);
  }
  std::vector<float> six;
  for (float v : ref) six.insert(six.end(), {v, 0.f, 0.f, 0.f, 0.f, 0.f});
  std::vector<float> up96;
  for (float v : ref) up96.insert(up96.end(), {v, v, v});  // 32 kHz held to 96 kHz
  WriteSound(dir + "/u8.wav", 32000, 1, SF_FORMAT_WAV | SF_FORMAT_PCM_U8, ref);
  WriteSound(dir + "/f32.wav", 32000, 1, SF_FORMAT_WAV | SF_FORMAT_FLOAT, ref);
  WriteSound(dir + "/six.wav", 32000, 6, SF_FORMAT_WAV | SF_FORMAT_PCM_16, six);
  WriteSound(dir + "/k96.wav", 96000, 1, SF_FORMAT_WAV | SF_FORMAT_PCM_16, up96);
  for (const char* name : {"u8.wav", "f32.wav", "six.wav", "k96.wav"}) {
    const CliResult r = Modem(std::string("decode ") + dir + "/" + name, dir);
    EXPECT_EQ(r.status, 0) << name << ": " << r.err;
    EXPECT_NE(r.out.find("odd file test"), std::string::npos) << name << ": " << r.out;
  }

  // Files that hold no usable audio end with text or a one-line error, never a crash.
  std::vector<float> nans(8000 * 5, std::numeric_limits<float>::quiet_NaN());
  WriteSound(dir + "/nan.wav", 8000, 1, SF_FORMAT_WAV | SF_FORMAT_FLOAT, nans);
  std::ofstream(dir + "/empty.wav").close();
  std::ofstream(dir + "/text.wav") << "this is not a recording\n";
  const std::string header = test::ReadVectorFile("example-vela125-8k.wav").substr(0, 30);
  std::ofstream(dir + "/truncated.wav", std::ios::binary) << header;
  for (const char* name : {"nan.wav", "empty.wav", "text.wav", "truncated.wav"}) {
    const CliResult r = Modem(std::string("decode ") + dir + "/" + name, dir);
    EXPECT_TRUE(r.status == 0 || (r.status == 1 && Lines(r.err) == 1))
        << name << ": " << r.status << " " << r.err;
  }
}

TEST(Cli, ChannelIsRepeatableBySeed) {
  const std::string dir = test::ScratchDir("cli-channel");
  ASSERT_EQ(Modem("encode --mode 125 --text 'seed' -o " + dir + "/a.wav", dir).status, 0);
  for (const char* out : {"b.wav", "c.wav"}) {
    const CliResult r =
        Modem("channel --snr -3 --offset 2 --seed 9 " + dir + "/a.wav " + dir + "/" + out, dir);
    ASSERT_EQ(r.status, 0) << r.err;
  }
  const CliResult other =
      Modem("channel --snr -3 --offset 2 --seed 10 " + dir + "/a.wav " + dir + "/d.wav", dir);
  ASSERT_EQ(other.status, 0);
  auto bytes = [&](const char* n) {
    std::ifstream f(dir + "/" + n, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
  };
  EXPECT_EQ(bytes("b.wav"), bytes("c.wav"));
  EXPECT_NE(bytes("b.wav"), bytes("d.wav"));
  const CliResult dec = Modem("decode --mode 125 --freq 1002 " + dir + "/b.wav", dir);
  EXPECT_NE(dec.out.find("seed"), std::string::npos) << dec.out;
  EXPECT_EQ(Modem("sweep --snr 1:2", dir).status, 2);
}

// Ended by a signal in mid-write, encode leaves the old file as it was and nothing beside it.
TEST(Cli, ASignalDuringEncodeLeavesNoPartialFile) {
  const std::string dir = test::ScratchDir("cli-signal");
  std::ofstream(dir + "/text.txt") << std::string(3000, 'e');  // a second or more of work
  const std::string out = dir + "/out.wav";
  const auto writing = [&] {
    for (const auto& entry : fs::directory_iterator(dir)) {
      if (entry.path().filename().string().rfind("out.wav.partial-", 0) == 0) return true;
    }
    return false;
  };
  for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
    SCOPED_TRACE(strsignal(signal));
    std::ofstream(out) << "old";
    const pid_t pid = fork();
    if (pid == 0) {
      const rlimit noCore{0, 0};
      setrlimit(RLIMIT_CORE, &noCore);
      std::signal(signal, SIG_DFL);
      execl(VELA_MODEM_BIN, VELA_MODEM_BIN, "encode", "--text-file", (dir + "/text.txt").c_str(),
            "-o", out.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    for (int i = 0; i < 10000 && !writing(); ++i) usleep(1000);
    EXPECT_TRUE(writing());
    kill(pid, signal);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
    EXPECT_FALSE(writing());
    EXPECT_EQ(Bytes(out), "old");
  }
}

}  // namespace
}  // namespace vela
