// Callsigns read off the air: only whole, well-formed calls copied complete stand as the call.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "coding/Callsign.h"

namespace vela {
namespace {

TEST(Callsign, OnlyWholeWellFormedCallsCopiedCompleteCount) {
  struct Case {
    std::string secondary;  // as copied
    std::string call;       // the call it gives ("" none)
  };
  for (const Case& c : std::vector<Case>{
           {"", ""},
           {"G3ABC", ""},                // not seen complete: no break either side
           {"G3ABC ", ""},               // the copy may have begun inside it
           {" G3ABC", ""},               // cut at the end of the over
           {" G3ABC ", "G3ABC"},         // whole
           {"3ABC G3ABC G3", "G3ABC"},   // partial words either end left aside
           {" PA3CXX PA3C", "PA3CXX"},   // the partial never replaces the whole
           {"XX PA3C", ""},              // nor stands for it
           {"PA3CPA3CPA3CPA3C ", ""},    // repeated without a break
           {" PA3CPA3C PA3CPA3C ", ""},  // ... however often
           {" NOCALL NOCALL ", ""},      // no digit
           {" CQ DE IO91 PSK31 VELA8 R2D2 MP3 ", ""},
           {" JO22AB ", ""},             // a locator, not a call
           {" g3abc ", "G3ABC"},         // case ignored, upper case out
           {" 2E0ABC 9A1AA ", "9A1AA"},  // digit-led prefixes; ties to the latest
           {" K1A 3DA0XY ", "3DA0XY"},
           {" DL2XYZ/P DL2XYZ/P D", "DL2XYZ/P"},
           {" DL/G3XYZ ", "DL/G3XYZ"},
           {" F/G3XYZ/M ", "F/G3XYZ/M"},
           {" G3XYZ/QRP ", "G3XYZ/QRP"},
           {" G3XYZ/MM ", "G3XYZ/MM"},
           {" VP2E/G3XYZ ", "VP2E/G3XYZ"},
           {" G3XYZ/3 ", "G3XYZ/3"},
           {" G3XYZ// /G3XYZ G3XYZ/ DL/G3XYZ/P/1 ", ""},  // strokes out of place
           {" DL/P ", ""},                                // no call between the strokes
           {" G3ABCDE GGGG3ABC ", ""},                    // suffix or prefix too long
           {" G3ABC PA0QQ PA0QQ G3ABC PA0QQ ", "PA0QQ"},  // the one held most often
           {"\r\nG3ABC\r\n", "G3ABC"},
       }) {
    EXPECT_EQ(CallFromSecondary(c.secondary), c.call) << '"' << c.secondary << '"';
  }
}

TEST(Callsign, DeCallInPlainText) {
  struct Case {
    std::string text, call;
  };
  for (const Case& c : std::vector<Case>{
           {"cq cq de G3ABC G3ABC k\n", "G3ABC"},
           {"cq de G3ABC", ""},  // not yet complete
           {"cq de PA3C", ""},   // cut off
           {"tnx de DL/G3XYZ/P ", "DL/G3XYZ/P"},
           {"the code G3ABC ", ""},  // "de" inside a word
           {"de G3ABC ", ""},        // the copy may have begun inside a word
           {"ok de, G3ABC ", ""},    // not plain
           {"G3ABC de PA0QQ pse k", "PA0QQ"},
           {"de PA0QQ ... de G3ABC\n", "G3ABC"},  // the latest
           {"x DE  g3abc ", "G3ABC"},
           {"ur 579 de 5NN ", ""},
       }) {
    EXPECT_EQ(CallAfterDe(c.text), c.call) << '"' << c.text << '"';
  }
}

}  // namespace
}  // namespace vela
