"""Builds skin elements in Python and writes them in the source form quillon-skinc compiles
(data/skins/README.md). The skin descriptions use node() for every element."""


class Element:
    def __init__(self, kind=None, id=None, props=(), kids=()):
        self.kind = kind
        self.id = id
        self.props = list(props)
        self.kids = [k for k in kids if k is not None]

    def lines(self, depth):
        pad = "    " * depth
        out = []
        if self.kind:
            out.append("%sstring type %s" % (pad, self.kind))
        if self.id:
            out.append("%sstring id %s" % (pad, self.id))
        for kind, name, value in self.props:
            out.append("%s%s %s %s" % (pad, kind, name, value))
        for kid in self.kids:
            out.append("%schild {" % pad)
            out.extend(kid.lines(depth + 1))
            out.append("%s}" % pad)
        return out


def quote(text):
    return '"%s"' % text.replace("\\", "\\\\").replace('"', '\\"')


def node(kind, id=None, ax=None, ay=None, bmin=None, bmax=None, size=None, ratio=None, props=(), kids=()):
    """An element: its kind ("type"), id, anchors, borders, design size and table ratio, then any
    further (kind, name, value) properties and its children in drawing order."""
    p = []
    if ax:
        p.append(("string", "anchor_x", ax))
    if ay:
        p.append(("string", "anchor_y", ay))
    if bmin:
        p.append(("point", "border_min", "%d %d" % bmin))
    if bmax:
        p.append(("point", "border_max", "%d %d" % bmax))
    if size:
        p.append(("point", "design_size", "%d %d" % size))
    if ratio:
        p.append(("int", "table_ratio", str(ratio)))
    return Element(kind, id, p + list(props), kids)


def font(points, bold=False, face="DejaVu Sans"):
    return ("font", "font", "%d %d 0 0 %s" % (points, 1 if bold else 0, face))


def colour(value, name="color"):
    return ("color", name, value)


def text_props(text=None, halign=None, valign=None, wrap=False):
    p = []
    if text is not None:
        p.append(("string", "text", quote(text)))
    if halign:
        p.append(("string", "halign", halign))
    if valign:
        p.append(("string", "valign", valign))
    if wrap:
        p.append(("int", "wrap", "1"))
    return p


def picture(name, corners=None):
    """A "src" picture: the whole bitmap, or (x0, y0, x1, y1, x2, y2, x3, y3) for outer top-left,
    inner top-left, outer bottom-right and inner bottom-right."""
    value = name if corners is None else name + " " + " ".join(str(c) for c in corners)
    return ("picture", "src", value)


def write_source(path, heading, elements):
    out = ["# " + line for line in heading.strip().splitlines()]
    for element_id, element in elements:
        out.append("element %s {" % element_id)
        out.extend(element.lines(1))
        out.append("}")
    with open(path, "w", encoding="utf-8") as f:
        f.write("\n".join(out) + "\n")
