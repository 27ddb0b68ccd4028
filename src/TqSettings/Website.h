// Addresses shown in the usage text and the scene header.
#pragma once

/// The program's home page, shown in the usage text and the scene header.
#define TQ_WEBSITE "https://tqr-project.github.io/tqr/"
/// The LDraw site (format and parts library), shown in the usage text and the scene header.
#define TQ_LDRAW_WEBSITE "https://www.ldraw.org/"
