#!/bin/sh
umount full
