// Laying out UTF-8 text: the host decodes it into code points, freed here after the layout.
#include <stdlib.h>

#include "host_services.h"
#include "layout.h"

namespace font {

int32_t layout_utf8(const Painter &painter, const char *text, TextBox box, int32_t size,
                    int32_t flags) {
    // utf8_decode does not take null; it returns null when memory runs out.
    uint32_t *code_points = text ? utf8_decode(text) : nullptr;
    int32_t result = layout_text(painter, code_points, box, size, flags);
    free(code_points);
    return result;
}

} // namespace font
