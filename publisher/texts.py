"""What a text must be for the saver to show it exactly as stored."""
import unicodedata

WORD_LIMIT = 127     # word1, word2 and every grammar field but notes, in UTF-16 units
NOTES_LIMIT = 1023
NEWS_MIN = 3         # the saver drops a shorter news text
NEWS_MAX = 1023      # the reader keeps no more of an element's text than this

FIELDS = ("word", "translation", "transliteration", "type", "tense", "gender", "notes")
GRAMMAR = ("transliteration", "type", "tense", "gender", "notes")


def utf16_units(text):
    return len(text) + sum(1 for c in text if ord(c) > 0xFFFF)


def limit_of(field):
    return NOTES_LIMIT if field == "notes" else WORD_LIMIT


def cdata_can_carry(text):
    """A text with '<' travels in CDATA, which ends at the first ']]': so it may hold
    no ']]' and may not end in ']' (that one would pair with the closing ']]')."""
    return "<" not in text or ("]]" not in text and not text.endswith("]"))


def problem(text, limit):
    """Why the saver could not show text exactly, or None."""
    for i, c in enumerate(text):
        if 0xDC80 <= ord(c) <= 0xDCFF:  # left by decoding with surrogateescape
            return "bytes that are not UTF-8 (0x%02X)" % (ord(c) - 0xDC00)
        if unicodedata.category(c) in ("Cc", "Zl", "Zp"):
            return "control character U+%04X at character %d" % (ord(c), i + 1)
        if c in "\ufffe\uffff" or 0xD800 <= ord(c) <= 0xDFFF:
            return "U+%04X at character %d, which XML does not allow" % (ord(c), i + 1)
    units = utf16_units(text)
    if units > limit:
        return "longer than the saver keeps (%d UTF-16 units, at most %d)" % (units, limit)
    if not cdata_can_carry(text):
        return "holds '<' together with ']]' or a final ']', which the feed cannot carry"
    return None
