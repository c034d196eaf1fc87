"""tavelin-publish: vocabulary decks in, each key code's feed of the day out."""
