// Gives a reading view its parts: everything around the page that makes reading easier.
#pragma once

namespace varnelo {

class CVarneloView;

void AttachReadingAids(CVarneloView& view);

}  // namespace varnelo
