"""The one error the commands report: what is wrong, and where when input is at fault."""


class PublishError(Exception):
    """A refusal with its place: file, line and field when known."""

    def __init__(self, message, file=None, line=None, field=None):
        super().__init__(message)
        self.message = message
        self.file = file
        self.line = line
        self.field = field

    def __str__(self):
        place = ""
        if self.file is not None:
            place = str(self.file)
            if self.line is not None:
                place += ":%d" % self.line
            place += ": "
        if self.field is not None:
            place += "field '%s': " % self.field
        return place + self.message
