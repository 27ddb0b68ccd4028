// Helpers of the tests of the studio look: converting with the look's options, rendering with
// POV-Ray side by side, and telling the model's pixels from the backdrop's.
#pragma once

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "support/Image.h"
#include "support/TestSupport.h"

/// The look's include files in the source tree.
std::string PovDir();
/// The small parts library of the source tree.
std::string SampleLibrary();
/// The tqr options of the look, as the front end passes them.
std::vector<std::string> StudioOptions();
/// The tqr options of the instructions look for a picture width pixels wide, as the front end
/// passes them.
std::vector<std::string> InstructionsOptions(int width);

/// What POV-Ray said about a scene and what it drew.
struct Render {
    bool ok = false;  ///< POV-Ray ended with status 0 and the picture could be read
    std::string log;  ///< POV-Ray's console output
    Image image;      ///< the picture
};

/// One render: the scene, the name of the picture written next to it (<name>.png, with
/// <name>.log), POV-Ray options after those of the front end, size and library paths.
struct RenderJob {
    std::string scene;                        ///< scene file
    std::string name;                         ///< picture name without .png, beside the scene
    std::string options;                      ///< further POV-Ray options
    int width = 160;                          ///< pixels
    int height = 120;                         ///< pixels
    std::vector<std::string> libraries = {};  ///< further +L directories
};

/// The lines in which POV-Ray complains about a scene.
std::string Complaints(const std::string& log);
/// Renders with the POV-Ray options of the front end (+L<pov> +MV3.7), all jobs at once: a
/// small render spends most of its time in POV-Ray's own start and stop pauses, not on the CPU.
std::vector<Render> RenderAll(const std::vector<RenderJob>& jobs);
/// Converts an LDraw text with the options of a look (and any others) into <name>.pov in dir;
/// returns the scene's path.
std::string ConvertLook(const TempDir& dir, const std::string& name, const std::string& ldraw,
                        const std::vector<std::string>& look, const std::vector<std::string>& options,
                        const std::string& library = SampleLibrary());
/// ConvertLook with the studio options.
std::string ConvertStudio(const TempDir& dir, const std::string& name, const std::string& ldraw,
                          const std::vector<std::string>& options = {},
                          const std::string& library = SampleLibrary());
/// One part at the origin.
std::string OnePart(int colour, const char* part = "3001.dat");

/// Pixels drawn over the model, and pixels of the backdrop, told apart by a render of the same
/// scene over a transparent background.
struct Mask {
    std::vector<std::pair<int, int>> model;     ///< fully opaque pixels
    std::vector<std::pair<int, int>> backdrop;  ///< fully transparent pixels
};
/// The mask of a render over a transparent background.
Mask MaskOf(const Image& transparent);

/// Mean and highest luminance and mean colour of some pixels of a picture.
struct Measured {
    double mean = 0;                        ///< mean luminance
    double max = 0;                         ///< highest luminance
    std::array<double, 3> rgb = {0, 0, 0};  ///< mean red, green and blue
};
/// Measures the pixels of a picture.
Measured Measure(const Image& image, const std::vector<std::pair<int, int>>& pixels);

/// Skips a test when POV-Ray is not installed.
#define TQ_SKIP_WITHOUT_POVRAY()                \
    if (!HavePovray()) {                        \
        GTEST_SKIP() << "povray not installed"; \
    }
