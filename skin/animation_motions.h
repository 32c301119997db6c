#pragma once
// The motions behind the animation keywords (visibility_animation.h).
#include <memory>
#include <string>

class VisibilityAnimation;

// The picture grows from its centre over the earlier one.
std::unique_ptr<VisibilityAnimation> make_scale_animation();
// A dialog's pop: a slightly small, faded picture swells just past its size and settles.
std::unique_ptr<VisibilityAnimation> make_pop_animation();
// The picture slides in from one side (0 right, 1 bottom, 2 left, 3 top); sideways slides push the
// earlier picture along by a third of the width, as phone screens do.
std::unique_ptr<VisibilityAnimation> make_slide_animation(std::u16string keyword, int side);
// A card turning about its vertical axis: the earlier picture narrows away, the new one widens.
std::unique_ptr<VisibilityAnimation> make_flip_animation();
