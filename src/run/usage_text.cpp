#include "run/usage_text.h"

#include "fuzzyart/limits.h"
#include "run/keyboard.h"
#include "run/result_kinds.h"
#include "run/switches.h"

namespace fuzzyart {

void printUsageText(ConsoleStream stream, const std::string& programName, bool pause) {
  const char* weights = extensionOf(ResultKind::kWeights);
  const char* values = extensionOf(ResultKind::kValues);
  consolePrint(stream,
               "FuzzyArt network simulator for ASCII datafiles.\n\nUsage:\n %s <DataFile> (+CatFile) "
               "(-R#)(-G#)(-I#)(-V#)(-F#)(-X#.) (-Bpath) (-NMW)\n\n",
               programName.c_str());
  consolePrint(stream,
               "The Datafile must have at least 2 columnes of data.\n* and/or ? can be used in the datafilename.\n"
               "The Category/Weightfile is used for Recall on existing file. (%s)\n\n",
               weights);
  // The defaults are always the built-in ones.
  const RunSettings defaults;
  consolePrint(stream, "Switch R sets number of iterations. (Default value is %d)\n\n", defaults.iterations);
  consolePrint(stream,
               "Switch G sets the learning rate parameter. Beta \xe1\n(Default value is %.3f)\n\nSwitch I sets the "
               "category choice parameter. Alpha \xe0\n(Default value is %.3f)\n\nSwitch V sets the vigilance "
               "parametern. (Default value is %.3f)\n\nSwitch F sets the iteration parameter that decreases Beta "
               "for\nevery iteration. (Default value is %.3f)\n",
               double{defaults.beta}, double{defaults.alpha}, double{defaults.vigilance}, double{defaults.itp});
  if (pause) {
    consolePrint(stream, "Press ENTER:");
    waitForEnter();
  }
  consolePrint(stream,
               "Switch X sets what datacolumnes to use from the datafile. *\nExample: -X1,3,5-8  (Uses datacolumnes "
               "1,3,5,6,7,8)\n\n");
  consolePrint(stream, "Switch B sets the path for the temporary datafile. Ex: -BC:\\TEMP\\ *\n\n");
  consolePrint(stream,
               "Switch N makes normalization on the data. (Default is NOT normalized)\n\nSwitch M make use of "
               "complement coding. (Default is Normal)\n\nSwitch W writes a CategoryCenterfile with extension: "
               "%s\n\n",
               extensionOf(ResultKind::kCentres));
  consolePrint(stream, "Max no. of variables: %d (%d for comp.code)  Max no. of categories: %d\n", kMaxInputLength,
               kMaxInputLength / 2, kDefaultMaxCategories);
  consolePrint(stream,
               "Results (category/weight) are written to files with extension %s.\nCategoryvalues are written to "
               "files with extension %s.\nSwitches with * must have - or / in front. Others can be written "
               "together.\nExample: -X2-9 but -G0.5V0.3\n\nExample Usage: %s TFILE.DAT -R6 -G0.12\n\nUses datafile "
               "TFIL.DAT. Number of iterationes is 6 and the learning\nrate is 0.12. The results are written to "
               "TFILE%s & TFILE%s.\n",
               weights, values, programName.c_str(), weights, values);
}

void printLongOptions(ConsoleStream stream) {
  for (const LongOption& option : longOptions()) consolePrint(stream, "%s\n", option.help);
}

}  // namespace fuzzyart
