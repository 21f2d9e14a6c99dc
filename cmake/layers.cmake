# The floors of src/: one row per library folder, naming the folders it may use. A
# library may include its own headers and those of every folder it reaches through these
# rows, nothing else; its link dependencies are the same rows. The configure step checks
# every `#include "..."` under src/ against this table and stops at the first that runs
# anywhere else, naming the file and the rule it breaks.
#
# Floors, bottom up (each row uses only rows above it in this list):
qel_layer(base)
qel_layer(system           USES base)
qel_layer(package          USES base)
qel_layer(picture/codecs   USES base)
qel_layer(picture/tiffraw  USES base)
qel_layer(picture/core     USES picture/tiffraw)
qel_layer(picture/formats  USES picture/core picture/codecs package)
qel_layer(picture/factory  USES picture/formats)
qel_layer(picture/props    USES picture/factory)
qel_layer(gui/core         USES base)
qel_layer(gui/controls     USES gui/core)
qel_layer(gui/dialogs      USES gui/controls system)
qel_layer(gui/document     USES gui/controls picture/factory system)
qel_layer(platform         USES gui/core)
qel_layer(net/crypto       USES base)
qel_layer(net/tls          USES net/crypto)
qel_layer(net/http         USES net/tls)
qel_layer(net/update       USES net/http)
qel_layer(app              USES net/update gui/dialogs platform system)
# Test-only entry points: built over the layers they open, used by no library.
qel_layer(testhooks        USES net/update system)
