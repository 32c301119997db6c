#pragma once
// Shows one widget tree (a form) as the whole frame: the splash, until the screen stack takes
// over. A frame is needed when the tree asks for a redraw or the frame changed size.
#include <memory>

#include "skin/color.h"
#include "skin/frame_source.h"
#include "skin/widget.h"

class SingleScreen final : public FrameSource {
public:
    // Takes the form; the background shows where the form does not draw.
    SingleScreen(std::unique_ptr<Widget> form, Color background);
    Widget& form() { return *m_form; }

    bool needs_frame() override;
    void tick(double elapsed_seconds) override;
    void compose(RenderSurface& frame) override;

private:
    // The form's parent: drawing a child is what clears its redraw request.
    Widget m_root;
    Widget* m_form;
    Color m_background;
    Size m_size;
};
