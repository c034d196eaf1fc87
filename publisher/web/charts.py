"""Bar charts as SVG, drawn on the server so that pages need no script."""
from markupsafe import Markup, escape

WIDTH, HEIGHT, TOP = 600, 130, 4


def bars(points, units, totals=None):
    """points: [(day label, value)]; units: (one, many), what a value counts;
    totals: values of the same days drawn behind as the ceiling each value could
    reach. A figure with an SVG element, as safe markup."""
    highest = max([v for _, v in points] + list(totals or []) + [1])
    step = WIDTH / len(points)
    area = HEIGHT - TOP
    # The bars stretch with the page; the texts are HTML, so that they do not.
    unit = units[highest != 1]
    parts = ['<figure class="chart"><span class="top">%d %s</span>' % (highest, escape(unit)),
             '<svg viewBox="0 0 %d %d" role="img" aria-label="%s" preserveAspectRatio="none">'
             % (WIDTH, HEIGHT, escape(unit))]
    parts.append('<line x1="0" y1="%d" x2="%d" y2="%d" class="axis"/>' % (HEIGHT, WIDTH, HEIGHT))
    for i, (label, value) in enumerate(points):
        x = i * step + step * 0.15
        width = step * 0.7
        if totals:
            h = area * totals[i] / highest
            parts.append('<rect class="total" x="%.1f" y="%.1f" width="%.1f" height="%.1f"><title>%s: %d of %d</title>'
                         '</rect>' % (x, HEIGHT - h, width, h, escape(label), value, totals[i]))
        h = area * value / highest
        if h:
            parts.append('<rect class="value" x="%.1f" y="%.1f" width="%.1f" height="%.1f"><title>%s: %d</title></rect>'
                         % (x, HEIGHT - h, width, h, escape(label), value))
    parts.append('</svg><figcaption><span>%s</span><span>%s</span></figcaption></figure>'
                 % (escape(points[0][0]), escape(points[-1][0])))
    return Markup("".join(parts))
