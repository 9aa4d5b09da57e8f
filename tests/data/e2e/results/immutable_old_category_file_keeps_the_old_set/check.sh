#!/bin/sh
# Lets the temporary directory be removed.
chattr -i DATA.FAC
