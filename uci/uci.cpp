// The UCI front end.
