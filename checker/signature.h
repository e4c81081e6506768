// Whether a program on a disc carries an Authenticode signature, and whether
// that signature still matches the program's bytes. Trust in the signer's
// certificate chain is not judged here (that is the user's computer's
// business): only that the digest the signer signed is the file's, and that
// the signer's signature holds over what it signed.
#pragma once

enum class Signature {
    none,       // a PE file without a certificate table
    intact,     // the signed digest is the file's, and the signer's signature holds
    changed,    // the file's bytes are no longer the ones signed
    broken,     // the signer's signature does not hold over the signed data
    malformed,  // the certificate table, or the signature in it, cannot be read
    notImage,   // the file cannot be read, or is no PE file
};

Signature readSignature(const char* path);
