/* seidel: the kernel of the speed figures in bench/README.md (whole process, against the first version). */
int TSTEPS = 4, N = 8;
double A[20][20];
int main(void)
{
  int t, i, j;
#pragma resource [4][16]
  for (t = 0; t <= TSTEPS - 1; t++)
    for (i = 1; i <= N - 2; i++) {
      for (j = 1; j <= N - 2; j++) {
#pragma latency [4][4]
        A[i][j] = (A[i-1][j-1] + A[i-1][j] + A[i-1][j+1] + A[i][j-1] + A[i][j] + A[i][j+1] + A[i+1][j-1] + A[i+1][j] + A[i+1][j+1]) / 9.0;
      }
    }
  return 0;
}
