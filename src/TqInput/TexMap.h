// Reading printed parts: the !TEXMAP meta-commands that lay an image over geometry, and the
// "0 !:" lines that only texture-aware readers use. Used only by the LDraw reader.
#pragma once

#include <vector>

#include "TqInput/TqInput.h"

/// One texture section open in the file being read.
struct TexMapFrame {
    int texMap = 0;           ///< 1 + index in the model's TexMaps; 0 when the texture is not used
    bool inFallback = false;  ///< past its FALLBACK line
};

/// The textures around the current line of one file.
struct TexMapState {
    bool on = false;                  ///< texture-aware reading (-mesh); off, every line is read
                                      ///< as a reader without textures reads it
    std::vector<TexMapFrame> stack;   ///< START sections, the innermost last
    int next = 0;                     ///< NEXT: the texture of the next geometry line, 1 + index
};

/// Reads a "!TEXMAP ..." meta text: opens, switches to the fallback of, or closes a section, or
/// gives the next line a texture. A faulty line or an image that cannot be used is reported, and
/// its section is read as a reader without textures would (the fallback geometry is used).
void ReadTexMapLine(TexMapState* tex, Loader* loader, char* meta);
/// True while the geometry lines are the fallback of a texture in use, and left out.
bool SkipsGeometry(const TexMapState* tex);
/// True when a "0 !:" line is geometry: inside a section whose texture is used.
bool TakesTexturedLines(const TexMapState* tex);
/// The texture of a geometry line (1 + index, or 0), taking a pending NEXT.
int TextureOfNextLine(TexMapState* tex);
/// A STEP, the end of a section or of the file ends every texture.
void EndTextures(TexMapState* tex);
