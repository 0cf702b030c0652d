# Installation of the programs and their desktop integration, and the
# Debian package (cpack -G DEB).
