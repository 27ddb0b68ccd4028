// Addresses shown in the usage text and the scene header.
#pragma once

#define TQ_WEBSITE "https://tqr-project.github.io/tqr/"
#define TQ_LDRAW_WEBSITE "https://www.ldraw.org/"
