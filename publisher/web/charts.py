"""Bar charts as SVG, drawn on the server so that pages need no script."""
from markupsafe import Markup, escape

WIDTH, HEIGHT, TOP, BOTTOM = 600, 150, 14, 20


def bars(points, unit, totals=None):
    """points: [(day label, value)]; totals: values of the same days drawn behind
    as the ceiling each value could reach. An SVG element as safe markup."""
    highest = max([v for _, v in points] + list(totals or []) + [1])
    step = WIDTH / len(points)
    area = HEIGHT - TOP - BOTTOM
    parts = ['<svg class="chart" viewBox="0 0 %d %d" role="img" aria-label="%s" preserveAspectRatio="none">'
             % (WIDTH, HEIGHT, escape(unit))]
    parts.append('<line x1="0" y1="%d" x2="%d" y2="%d" class="axis"/>' % (HEIGHT - BOTTOM, WIDTH, HEIGHT - BOTTOM))
    for i, (label, value) in enumerate(points):
        x = i * step + step * 0.15
        width = step * 0.7
        if totals:
            h = area * totals[i] / highest
            parts.append('<rect class="total" x="%.1f" y="%.1f" width="%.1f" height="%.1f"><title>%s: %d of %d</title>'
                         '</rect>' % (x, HEIGHT - BOTTOM - h, width, h, escape(label), value, totals[i]))
        h = area * value / highest
        if h:
            parts.append('<rect class="value" x="%.1f" y="%.1f" width="%.1f" height="%.1f"><title>%s: %d</title></rect>'
                         % (x, HEIGHT - BOTTOM - h, width, h, escape(label), value))
    parts.append('<text x="2" y="11" class="label">%d %s</text>' % (highest, escape(unit)))
    parts.append('<text x="2" y="%d" class="label">%s</text>' % (HEIGHT - 5, escape(points[0][0])))
    parts.append('<text x="%d" y="%d" class="label" text-anchor="end">%s</text>'
                 % (WIDTH - 2, HEIGHT - 5, escape(points[-1][0])))
    parts.append("</svg>")
    return Markup("".join(parts))
