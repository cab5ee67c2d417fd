#!/usr/bin/python3
# Prints the text of the document that LibreOffice shows, read through its own
# connection (soffice --accept="pipe,name=NAME;urp;"), without a key or the
# clipboard; with --clear it empties the document instead. Exits 1 while
# LibreOffice cannot be reached or shows no document.
import sys

import uno


def main():
    context = uno.getComponentContext()
    resolver = context.ServiceManager.createInstanceWithContext("com.sun.star.bridge.UnoUrlResolver", context)
    try:
        remote = resolver.resolve(f"uno:pipe,name={sys.argv[1]};urp;StarOffice.ComponentContext")
    except Exception as error:  # not listening yet
        print(error, file=sys.stderr)
        return 1
    desktop = remote.ServiceManager.createInstanceWithContext("com.sun.star.frame.Desktop", remote)
    document = desktop.getCurrentComponent()
    if document is None or not hasattr(document, "getText"):
        return 1
    if "--clear" in sys.argv[2:]:
        document.getText().setString("")
    else:
        sys.stdout.write(document.getText().getString())
    return 0


sys.exit(main())
