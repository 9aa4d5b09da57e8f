mkdir model.txt
