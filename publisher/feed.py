"""The feed document of a day, written so that the saver's small reader gives back
every text exactly, and the lines the saver composes from it."""

HEADER = '<?xml version="1.0" encoding="UTF-8"?>\n<feed>\n'
FOOTER = "</feed>\n"
# The order the saver appends the grammar notes in.
EXTRAS = ("transliteration", "type", "tense", "gender", "notes")


def element(name, text):
    """The reader ends a text at its first '<' and reads '&lt;' as the end of it, so
    a '<' can only travel in a CDATA section that opens the element."""
    if "<" in text:
        body = "<![CDATA[" + text + "]]>"
    else:
        body = text.replace("&", "&amp;").replace(">", "&gt;")
    return "<%s>%s</%s>" % (name, body, name)


def item(word):
    """One <item>; word maps field names to texts."""
    parts = ["<item>", element("word1", word["word"]), element("word2", word["translation"])]
    extras = [element(name, word[name]) for name in EXTRAS if word[name]]
    if extras:
        # Read only when it follows the later of the two words.
        parts += ["<extras>"] + extras + ["</extras>"]
    parts.append("</item>\n")
    return "".join(parts)


def document(news, items):
    """news: a text or None; items: the <item> fragments of the day, in order."""
    head = HEADER + (element("news", news) + "\n" if news else "")
    return head + "".join(items) + FOOTER


def line(word, extra):
    """The line the saver shows for word, with the grammar notes when extra is set."""
    s = word["word"] + ":" + word["translation"]
    if extra:
        if word["transliteration"]:
            s += " (" + word["transliteration"] + ")"
        if word["type"]:
            s += ", " + word["type"]
        if word["tense"]:
            s += ", " + word["tense"] + " tense"
        if word["gender"]:
            s += ", gender:" + word["gender"]
        if word["notes"]:
            s += ", [" + word["notes"] + "]"
    return s
