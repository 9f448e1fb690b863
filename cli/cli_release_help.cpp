#include "cli/cli_release_help.h"

const char kReleaseHelp[] =
    R"(Usage: vornak-cli release keygen KEYFILE
       vornak-cli release create RECIPE --key KEYFILE --release N --family PREFIX
                                 [--family PREFIX ...] [--expires YYYY-MM-DD]
                                 [--note TEXT] -o BUNDLE
       vornak-cli release verify BUNDLE [--trust DIR]
       vornak-cli release list BUNDLE

Signed release bundles: one file (a tar archive) holding manifest.json, its
Ed25519 signature manifest.sig, and below files/ a recipe with its firmware
package and download files.

  keygen   make a key pair: the private key in KEYFILE (PEM, mode 0600), the
           public key in KEYFILE.pub (PEM); neither file may exist. Prints
           the key id (the first 16 hex digits of the public key's SHA-256)
  create   check RECIPE as a station would, then write BUNDLE holding it and
           every file it names (all below the recipe's folder), signed with
           KEYFILE. Prints the bundle's id (the manifest's SHA-256)
  verify   check the signature, every file's SHA-256, the expiry date and the
           recipe; print the manifest and the signer's key id
  list     check the bundle as verify does (but not its expiry, nor trust) and
           print its files, one a line: SHA256 SIZE NAME (tab-separated)

Options:
  --key KEYFILE      the engineer's private key (from keygen)
  --release N        the release number, 1 or more; it only grows per variant
  --family PREFIX    a version-text prefix of the boxes it is for ("VBX-100 ");
                     give it once per family
  --expires DATE     the last day (UTC) a station may run it, YYYY-MM-DD
  --note TEXT        free text: what changed
  -o BUNDLE          the bundle to write (replaced whole, or left as it was)
  --trust DIR        the signer must be one of the *.pub keys in DIR

Exit status: 0 done, 2 refused (the message names the file and the reason)
or a usage error.
)";
