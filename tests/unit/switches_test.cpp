// Switch values at the edges of their number types, the lookup of the
// program's environment variable, and the upper-casing of code page 437 text.
#include "run/switches.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "console_capture.h"
#include "run/console.h"

namespace fuzzyart {
namespace {

// Reads the settings of "DATA.TXT <switches>"; a stop leaves its exit code in
// stopCode and the console text in err.
struct SettingsRead {
  explicit SettingsRead(std::vector<std::string> switches) {
    switches.insert(switches.begin(), "DATA.TXT");
    test::ConsoleCapture console;
    try {
      readSettings(switches, SettingsSource{"fuzzyart", {}}, settings);
    } catch (const RunStop& stop) {
      stopCode = stop.exitCode;
    }
    err = console.err();
  }
  RunSettings settings;
  int stopCode = -1;
  std::string err;
};

TEST(Switches, ExactCaseNameWinsOverAnEarlierNameOfAnotherCase) {
  const std::vector<std::string> environment = {"FUZZYART_OLD=R2", "fuzzyart=R7", "FuzzyArt=R4", "FUZZYART=R5"};
  EXPECT_EQ(findProgramVariable(environment, "FuzzyArt"), "R4");
  EXPECT_EQ(findProgramVariable(environment, "FUZZYART"), "R5");
  // Without an exact match the first name equal but for case counts.
  EXPECT_EQ(findProgramVariable(environment, "FUZZYart"), "R7");
  EXPECT_EQ(findProgramVariable(environment, "FUZZY"), std::nullopt);
}

TEST(Switches, HugeIntegersSaturateInsteadOfWrapping) {
  // 2^32 wraps to 0 in 32 bits, which would stop the run.
  SettingsRead many({"-R4294967296"});
  EXPECT_EQ(many.stopCode, -1);
  EXPECT_EQ(many.settings.iterations, INT32_MAX);

  SettingsRead negative({"-R-99999999999"});
  EXPECT_EQ(negative.stopCode, 5);
  EXPECT_EQ(negative.err, "\nPANIC: Number of iterationes must be greater than 0: Value=-2147483648\n");

  // 2^32 + 1 wraps to column 1, which would be accepted in silence.
  SettingsRead column({"-X4294967297"});
  EXPECT_EQ(column.stopCode, 5);
  EXPECT_EQ(column.err, "\nPANIC: Data switch (-X) to big. Value:2147483647 Max:8192\n");
}

TEST(Switches, ValuesAreCheckedAsTheFloatsTheyAreStoredAs) {
  SettingsRead beta({"-G0.1"});
  EXPECT_EQ(beta.settings.beta, 0.1f);

  // 1.00000001 is 1 in single precision, so it is a valid vigilance.
  SettingsRead one({"-V1.00000001"});
  EXPECT_EQ(one.stopCode, -1);
  EXPECT_EQ(one.settings.vigilance, 1.0f);

  // 1.00000006 lies above the halfway point 1 + 2^-24 and rounds up to the
  // float after 1.
  SettingsRead above({"-V1.00000006"});
  EXPECT_EQ(above.stopCode, 5);
  EXPECT_EQ(above.err, "\nPANIC: The vigilance parameter must be between 0 and 1: Value=1.000\n");

  // Positive, but 0 once stored. The exponent is part of the number even
  // though "E" is no switch character of its own.
  SettingsRead tiny({"-G1e-50"});
  EXPECT_EQ(tiny.stopCode, 5);
  EXPECT_EQ(tiny.err,
            "INFO: Unknown character in switch/environment: \"E\"\n"
            "\nPANIC: The learning rate parameter must be greater than 0: Value=0.00000\n");
}

TEST(Switches, UpperCaseTurnsAsciiAndTheThreeCodePage437LettersOnly) {
  std::string text = "az\x84\x86\x94\x81\xe0{`AZ1";
  upperCase(text);
  EXPECT_EQ(text, "AZ\x8e\x8f\x99\x81\xe0{`AZ1");
}

}  // namespace
}  // namespace fuzzyart
